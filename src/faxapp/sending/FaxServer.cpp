#include "faxapp/sending/FaxServer.h"

namespace faxapp {

namespace {

class HylafaxServer final : public FaxServer {
public:
    explicit HylafaxServer(const HylafaxAccount& account)
        : m_name(account.host + u':' + QString::number(account.port)), m_client(account) {}

    QString Name() const override { return m_name; }
    std::optional<QString> Create(const HylafaxSubmission& submission) override {
        return m_client.Create(submission);
    }
    bool Submit(const QString& jobId) override { return m_client.Submit(jobId); }
    std::optional<HylafaxJobStatus> Status(const QString& jobId) override {
        return m_client.Status(jobId);
    }
    Failure LastFailure() const override { return m_client.LastFailure(); }
    QString LastError() const override { return m_client.LastError(); }

private:
    QString m_name;
    HylafaxClient m_client;
};

} // namespace

std::unique_ptr<FaxServer> MakeHylafaxServer(const HylafaxAccount& account, const QString& name) {
    HylafaxAccount at = account;
    const qsizetype colon = name.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon > 0 ? name.mid(colon + 1).toUInt(&ok) : 0;
    if (ok && port > 0 && port <= 65535 &&
        (name.left(colon) != account.host || port != account.port)) {
        // A job recorded at a server other than the one set now: asked about under the
        // user's name, but the password set for the other server is not given away.
        at.host = name.left(colon);
        at.port = static_cast<quint16>(port);
        at.password.clear();
    }
    return std::make_unique<HylafaxServer>(at);
}

} // namespace faxapp
