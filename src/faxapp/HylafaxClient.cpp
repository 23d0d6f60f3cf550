#include "faxapp/HylafaxClient.h"

namespace faxapp {

struct HylafaxClient::Impl {
    HylafaxAccount account;
    int timeoutMs = 0;
};

HylafaxClient::HylafaxClient(HylafaxAccount account, int timeoutMs)
    : m_impl(std::make_unique<Impl>(Impl{std::move(account), timeoutMs})) {}
HylafaxClient::~HylafaxClient() = default;
bool HylafaxClient::Connect() { return false; }
std::optional<QString> HylafaxClient::Create(const HylafaxSubmission& /*submission*/) {
    return std::nullopt;
}
bool HylafaxClient::Submit(const QString& /*jobId*/) { return false; }
std::optional<HylafaxJobStatus> HylafaxClient::Status(const QString& /*jobId*/) {
    return std::nullopt;
}
void HylafaxClient::Close() {}
HylafaxClient::Failure HylafaxClient::LastFailure() const { return Failure::Unreachable; }
QString HylafaxClient::LastError() const { return QStringLiteral("not built yet"); }

} // namespace faxapp
