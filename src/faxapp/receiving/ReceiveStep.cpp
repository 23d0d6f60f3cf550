#include "faxapp/receiving/ReceiveStep.h"

#include "faxapp/receiving/Receiver.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

namespace faxapp {

namespace {

class ReceiveStep final : public ServiceStep {
public:
    explicit ReceiveStep(const FaxSettings& settings)
        : m_receiver(
              settings.dataDir, [account = settings.server] { return MakeFaxServer(account, {}); },
              m_clock, Receiver::Options{settings.deleteReceived}) {}

    bool Open(QString& error) override { return m_receiver.Open(error); }

    bool Run(JobObserver* observer, QString& serverError, QStringList& problems) override {
        m_receiver.SetObserver(observer);
        const ReceivePass pass = m_receiver.Pass();
        problems += pass.problems;
        serverError = pass.serverError;
        return !pass.unreachable;
    }

private:
    SystemClock m_clock;
    Receiver m_receiver;
};

} // namespace

std::unique_ptr<ServiceStep> MakeReceiveStep(const FaxSettings& settings) {
    if (!settings.receive || settings.dataDir.isEmpty())
        return nullptr;
    return std::make_unique<ReceiveStep>(settings);
}

} // namespace faxapp
