#include "faxapp/sending/ServerFactory.h"

#include "faxapp/hylafax/HylafaxClient.h"

namespace faxapp {

namespace {

// HylaFAX is the one kind of server there is, and so the default.
const QString& kHylafaxKind = kDefaultServerKind;

// A HylaFAX server behind the seam: its client's types and failures in the seam's terms.
class HylafaxServer final : public FaxServer {
public:
    explicit HylafaxServer(const HylafaxAccount& account)
        : m_name(account.host + u':' + QString::number(account.port)),
          m_address(ServerAddress{kHylafaxKind, account.host, account.port}.Text()),
          m_client(account) {}

    QString Name() const override { return m_name; }
    QString Address() const override { return m_address; }

    ServerResult<QString> Create(const FaxSubmission& submission) override {
        HylafaxSubmission job;
        job.number = submission.number;
        job.tag = submission.tag;
        job.sendTime = submission.sendTime;
        job.verticalRes = submission.verticalRes;
        job.tiffPath = submission.tiffPath;
        job.poll = submission.poll;
        if (auto id = m_client.Create(job))
            return std::move(*id);
        return Failure({});
    }

    ServerResult<void> Submit(const QString& jobId) override {
        if (m_client.Submit(jobId))
            return {};
        return Failure(jobId);
    }

    ServerResult<void> Cancel(const QString& jobId) override {
        if (m_client.Kill(jobId))
            return {};
        return Failure(jobId);
    }

    ServerResult<void> Check() override {
        if (m_client.Connect())
            return {};
        return Failure({});
    }

    ServerResult<FaxJobStatus> Status(const QString& jobId) override {
        const auto status = m_client.Status(jobId);
        if (!status)
            return Failure(jobId);
        FaxJobStatus neutral;
        neutral.state = StateOf(status->state);
        neutral.status = status->status;
        neutral.statusCode = status->statusCode;
        neutral.pagesSent = status->pagesSent;
        neutral.totalPages = status->totalPages;
        neutral.signalRate = status->signalRate;
        neutral.dataFormat = status->dataFormat;
        neutral.remoteId = status->remoteId;
        neutral.started = status->started;
        neutral.durationSecs = status->durationSecs;
        neutral.byRequest = status->byRequest;
        return neutral;
    }

    ServerResult<QList<ReceivedFax>> Received() override {
        const auto listed = m_client.Received();
        if (!listed)
            return Failure({});
        QList<ReceivedFax> faxes;
        faxes.reserve(listed->size());
        for (const HylafaxReceived& from : *listed) {
            ReceivedFax fax;
            fax.file = from.file;
            fax.sender = from.sender;
            fax.pages = from.pages;
            fax.arrived = from.arrived;
            fax.resolution = from.resolution;
            fax.quality = from.error;
            fax.receiving = from.receiving;
            fax.readable = from.readable;
            fax.owner = from.owner;
            fax.protection = from.mode;
            fax.size = from.size;
            faxes.append(fax);
        }
        return faxes;
    }

    ServerResult<void> Fetch(const QString& file, QIODevice& sink) override {
        if (m_client.Retrieve(file, sink))
            return {};
        return Failure(file);
    }

    ServerResult<void> Delete(const QString& file) override {
        if (m_client.Delete(file))
            return {};
        return Failure(file);
    }

private:
    static FaxJobStatus::State StateOf(HylafaxJobStatus::State state) {
        using From = HylafaxJobStatus::State;
        using To = FaxJobStatus::State;
        switch (state) {
        case From::Pending:
            return To::Pending;
        case From::Active:
            return To::Active;
        case From::Done:
            return To::Done;
        case From::Failed:
            return To::Failed;
        case From::Gone:
            break;
        }
        return To::Gone;
    }

    ServerProblem Failure(const QString& what) const {
        ServerProblem problem;
        problem.what = what;
        problem.reason = m_client.LastError();
        problem.kind = m_client.LastFailure() == HylafaxClient::Failure::Refused
                           ? ServerProblem::Kind::Refused
                           : ServerProblem::Kind::Unreachable;
        return problem;
    }

    QString m_name;
    QString m_address;
    HylafaxClient m_client;
};

} // namespace

Result<std::unique_ptr<FaxServer>> MakeFaxServer(const ServerAccount& account,
                                                 const QString& record) {
    ServerAccount at = account;
    if (const auto address = ServerAddress::Parse(record);
        address && (address->kind != account.kind || address->host != account.host ||
                    address->port != account.port)) {
        // A job recorded at a server other than the one set now: asked about under the
        // user's name, but the password set for the other server is not given away.
        at.kind = address->kind;
        at.host = address->host;
        at.port = address->port;
        at.password.clear();
    }
    if (at.kind != kHylafaxKind) {
        return Problem{0, at.kind, QStringLiteral("this program knows no fax server of that kind")};
    }
    HylafaxAccount hylafax;
    hylafax.host = at.host;
    hylafax.port = at.port;
    hylafax.user = at.user;
    hylafax.password = at.password;
    return std::unique_ptr<FaxServer>(std::make_unique<HylafaxServer>(hylafax));
}

} // namespace faxapp
