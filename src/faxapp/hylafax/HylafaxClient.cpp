#include "faxapp/hylafax/HylafaxClient.h"

#include "faxapp/hylafax/HylafaxConnection.h"
#include "faxapp/hylafax/HylafaxJobRequest.h"
#include "faxapp/hylafax/HylafaxReplies.h"

#include <QFile>
#include <QRegularExpression>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace faxapp {

namespace {

using Reply = HylafaxConnection::Reply;

// A job's queue file: a few kB of "key:value" lines.
constexpr qint64 kMaxQueueFile = 256 * 1024LL;
// The receive queue's listing: a line of about 100 bytes a fax.
constexpr qint64 kMaxReceivedList = 16LL * 1024 * 1024;

// Said of a server that answers but cannot be used (it refuses a login before asking for a
// password, it cannot store a document or make a job): the likely cause on Debian 12.
QString UnusableServerHint() {
    return QStringLiteral("; the server answers but cannot be used: a HylaFAX server of "
                          "Debian 12 is left so by its own weekly and monthly cron jobs until "
                          "it is restarted (systemctl restart hylafax)");
}

QString LoginName() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return {};
    }
    return QString::fromLocal8Bit(found->pw_name);
}

bool IsJobId(const QString& id) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    return digits.match(id).hasMatch();
}

} // namespace

struct HylafaxClient::Impl {
    HylafaxAccount account;
    HylafaxConnection connection;
    bool loggedIn = false;
    bool imageType = false;
    bool receivedFormat = false;
    Failure failure = Failure::None;
    QString error;

    Impl(HylafaxAccount a, int timeoutMs) : account(std::move(a)), connection(timeoutMs) {}

    bool Fail(Failure why, const QString& text) {
        failure = why;
        error = text;
        return false;
    }
    void Succeed() {
        failure = Failure::None;
        error.clear();
    }
    QString User() const { return account.user.isEmpty() ? LoginName() : account.user; }

    // A command whose reply the caller looks at; a lost connection is reported here.
    std::optional<Reply> Ask(const QByteArray& line) {
        auto reply = connection.Command(line);
        if (!reply) {
            loggedIn = false;
            Fail(Failure::Unreachable, connection.Error());
        }
        return reply;
    }
    // A negative reply: the server may take it later (4xx) or never (5xx).
    bool Refusal(const Reply& reply, const QString& what) {
        return Fail(reply.code < 500 ? Failure::Unreachable : Failure::Refused,
                    QStringLiteral("%1: %2").arg(what, reply.Line()));
    }
    // A negative reply to a step that does not depend on the job (storing a document,
    // creating a job): the server's own trouble (a full disk, its spool's rights), to be tried
    // again later, never a reason to give the job up.
    bool Trouble(const Reply& reply, const QString& what) {
        return Fail(Failure::Unreachable,
                    QStringLiteral("%1: %2%3").arg(what, reply.Line(), UnusableServerHint()));
    }
    bool Require(const QByteArray& line, const QString& what) {
        const auto reply = Ask(line);
        return reply && (reply->Positive() || Refusal(*reply, what));
    }
    bool RequireOfServer(const QByteArray& line, const QString& what) {
        const auto reply = Ask(line);
        return reply && (reply->Positive() || Trouble(*reply, what));
    }

    bool Login();
    bool Store(QFile& document, QByteArray& serverFile);
    bool ImageType();
    std::optional<HylafaxJobStatus> Query(const QString& jobId);
};

bool HylafaxClient::Impl::Login() {
    if (loggedIn && connection.Quiet()) {
        return true;
    }
    connection.Close();
    loggedIn = false;
    imageType = false;
    receivedFormat = false;
    const QString user = User();
    if (user.isEmpty() || !HylafaxJobRequest::Travels(user) ||
        !HylafaxJobRequest::Travels(account.password)) {
        return Fail(
            Failure::Unreachable,
            QStringLiteral("the user name or password holds characters that cannot be sent"));
    }
    const auto greeting = connection.Open(account.host, account.port);
    if (!greeting) {
        return Fail(Failure::Unreachable, connection.Error());
    }
    if (greeting->code != 220) {
        connection.Close();
        return Fail(Failure::Unreachable,
                    QStringLiteral("the server is not ready: %1").arg(greeting->Line()));
    }
    auto reply = Ask("USER " + HylafaxJobRequest::Quoted(user));
    const bool askedPassword = reply && reply->code == 331;
    if (askedPassword) {
        if (account.password.isEmpty()) {
            connection.Close();
            return Fail(
                Failure::Unreachable,
                QStringLiteral("the server wants a password for %1: %2").arg(user, reply->Line()));
        }
        reply = Ask("PASS " + HylafaxJobRequest::Quoted(account.password));
    }
    if (!reply) {
        return false;
    }
    if (!reply->Positive()) {
        connection.Close();
        // Refused before any password was asked: the server does not know this host or its
        // own configuration, not a wrong password.
        return Fail(
            Failure::Unreachable,
            QStringLiteral("login as %1 failed: %2%3")
                .arg(user, reply->Line(), askedPassword ? QString() : UnusableServerHint()));
    }
    // Times on the wire in UTC, whatever the server's own zone.
    const auto zone = Ask(QByteArrayLiteral("TZONE GMT"));
    if (!zone || !zone->Positive()) {
        connection.Close();
        return zone ? Fail(Failure::Unreachable, zone->Line()) : false;
    }
    loggedIn = true;
    return true;
}

bool HylafaxClient::Impl::ImageType() {
    // Binary transfers, and documents stored under a name that tells the server they are TIFF.
    imageType =
        imageType || (RequireOfServer(QByteArrayLiteral("TYPE I"), QStringLiteral("TYPE")) &&
                      RequireOfServer(QByteArrayLiteral("FORM TIFF"), QStringLiteral("FORM")));
    return imageType;
}

bool HylafaxClient::Impl::Store(QFile& document, QByteArray& serverFile) {
    if (!ImageType()) {
        return false;
    }
    Reply preliminary;
    const auto reply = connection.Upload(QByteArrayLiteral("STOT"), document, preliminary);
    if (!reply) {
        loggedIn = false;
        return Fail(Failure::Unreachable, connection.Error());
    }
    if (!reply->Positive()) {
        return Trouble(*reply, QStringLiteral("storing the document"));
    }
    serverFile = HylafaxReplies::ServerFile(preliminary.Text());
    if (serverFile.isEmpty()) {
        serverFile = HylafaxReplies::ServerFile(reply->Text());
    }
    return !serverFile.isEmpty() ||
           Fail(Failure::Unreachable,
                QStringLiteral("the server named no file for the document: %1").arg(reply->Line()));
}

HylafaxClient::HylafaxClient(HylafaxAccount account, int timeoutMs)
    : m_impl(std::make_unique<Impl>(std::move(account), timeoutMs)) {}

HylafaxClient::~HylafaxClient() {
    Close();
}

bool HylafaxClient::Connect() {
    if (!m_impl->Login()) {
        return false;
    }
    m_impl->Succeed();
    return true;
}

std::optional<QString> HylafaxClient::Create(const HylafaxSubmission& submission) {
    Impl& d = *m_impl;
    d.Succeed();
    QString problem;
    const auto request = HylafaxJobRequest::Build(submission, d.User(), problem);
    QFile document;
    if (request && !submission.poll &&
        !HylafaxJobRequest::OpenDocument(submission.tiffPath, document)) {
        problem = QStringLiteral("%1 is not a readable TIFF file").arg(submission.tiffPath);
    }
    if (!problem.isEmpty()) {
        d.Fail(Failure::Refused, problem);
        return std::nullopt;
    }
    QByteArray serverFile;
    if (!d.Login() || (!submission.poll && !d.Store(document, serverFile))) {
        return std::nullopt;
    }
    // A new job copies the parameters of the connection's current job: start from the
    // server's defaults instead of the last job this connection looked at.
    if (!d.RequireOfServer(QByteArrayLiteral("JOB default"), QStringLiteral("JOB"))) {
        return std::nullopt;
    }
    const auto created = d.Ask(QByteArrayLiteral("JNEW"));
    if (!created) {
        return std::nullopt;
    }
    const QString jobId = HylafaxReplies::NewJobId(created->Text());
    if (!created->Positive() || jobId.isEmpty()) {
        d.Trouble(*created, QStringLiteral("creating the job"));
        return std::nullopt;
    }
    // The server reads a job back from its file whenever the file looks newer than its copy
    // in memory, and cannot read back a job that has no number yet: when the file's time is
    // ahead of the server's clock (file systems with fine-grained times are, just after a
    // second begins), each parameter set next would be undone by the next command, and the
    // job refused at submission ("null or missing DIALSTRING"). JREST makes the server take
    // the file's time for its copy's.
    if (!d.RequireOfServer("JREST " + jobId.toLatin1(), QStringLiteral("JREST"))) {
        return std::nullopt;
    }
    for (const QByteArray& line : request->Lines(serverFile)) {
        if (!d.Require(line, QString::fromLatin1(line.left(line.indexOf(' ', 6))))) {
            return std::nullopt;
        }
    }
    return jobId;
}

bool HylafaxClient::Submit(const QString& jobId) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!IsJobId(jobId)) {
        return d.Fail(Failure::Refused, QStringLiteral("%1 is no job id").arg(jobId));
    }
    return d.Login() && d.Require("JSUBM " + jobId.toLatin1(), QStringLiteral("JSUBM"));
}

std::optional<HylafaxJobStatus> HylafaxClient::Status(const QString& jobId) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!IsJobId(jobId)) {
        d.Fail(Failure::Refused, QStringLiteral("%1 is no job id").arg(jobId));
        return std::nullopt;
    }
    if (!d.Login()) {
        return std::nullopt;
    }
    return d.Query(jobId);
}

bool HylafaxClient::Kill(const QString& jobId) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!IsJobId(jobId)) {
        return d.Fail(Failure::Refused, QStringLiteral("%1 is no job id").arg(jobId));
    }
    // JKILL acts on the current job: a JOB that fails leaves another one current.
    return d.Login() && d.Require("JOB " + jobId.toLatin1(), QStringLiteral("JOB")) &&
           d.Require("JKILL " + jobId.toLatin1(), QStringLiteral("JKILL"));
}

std::optional<HylafaxJobStatus> HylafaxClient::Impl::Query(const QString& jobId) {
    HylafaxJobStatus status;
    const auto selected = Ask("JOB " + jobId.toLatin1());
    if (!selected) {
        return std::nullopt;
    }
    if (!selected->Positive()) {
        // The server answers a job it has forgotten with "500 Cannot set job 9; job does not
        // exist"; a failed JOB leaves the previous job current, so nothing more is asked.
        if (selected->Text().contains("job does not exist")) {
            return status; // Gone
        }
        Refusal(*selected, QStringLiteral("JOB"));
        return std::nullopt;
    }
    const char* names[] = {"STATE", "STATUS", "STATUSCODE", "NPAGES", "TOTPAGES"};
    QByteArray values[std::size(names)];
    for (size_t i = 0; i < std::size(names); ++i) {
        const auto reply = Ask(QByteArray("JPARM ") + names[i]);
        if (!reply) {
            return std::nullopt;
        }
        if (reply->code != 213 && i != 2) { // servers without STATUSCODE exist
            Refusal(*reply, QStringLiteral("JPARM %1").arg(QLatin1String(names[i])));
            return std::nullopt;
        }
        values[i] = reply->code == 213 ? reply->Text() : QByteArray();
    }
    const auto state = HylafaxReplies::JobState(values[0].trimmed());
    if (!state) {
        Fail(Failure::Unreachable, QStringLiteral("unknown job state %1")
                                       .arg(HylafaxConnection::Printable(values[0].left(40))));
        return std::nullopt;
    }
    status.state = *state;
    status.status = HylafaxConnection::Printable(values[1]);
    status.statusCode = values[2].trimmed().toInt();
    status.pagesSent = values[3].trimmed().toInt();
    status.totalPages = values[4].trimmed().toInt();
    // What hfaxd and faxrm leave on a killed job.
    status.byRequest = status.state == HylafaxJobStatus::State::Failed &&
                       status.status.contains(QLatin1String("by request"), Qt::CaseInsensitive);
    if (status.state == HylafaxJobStatus::State::Done ||
        status.state == HylafaxJobStatus::State::Failed) {
        // The queue file is readable by every client unless the server's administrator made
        // it private; then these stay unknown.
        if (!ImageType()) {
            return std::nullopt;
        }
        for (const char* queue : {"doneq/q", "sendq/q"}) {
            QByteArray bytes;
            const auto reply = connection.Download("RETR " + QByteArray(queue) + jobId.toLatin1(),
                                                   bytes, kMaxQueueFile);
            if (!reply) {
                loggedIn = false;
                Fail(Failure::Unreachable, connection.Error());
                return std::nullopt;
            }
            if (reply->Positive()) {
                HylafaxReplies::ReadQueueFile(bytes, status);
                break;
            }
        }
    }
    return status;
}

std::optional<QList<HylafaxReceived>> HylafaxClient::Received(int* rejectedLines) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!d.Login()) {
        return std::nullopt;
    }
    if (!d.receivedFormat) {
        d.receivedFormat =
            d.RequireOfServer(QByteArray("RCVFMT \"") + HylafaxReplies::kReceivedFormat + '"',
                              QStringLiteral("RCVFMT"));
        if (!d.receivedFormat) {
            return std::nullopt;
        }
    }
    QByteArray bytes;
    const auto reply =
        d.connection.Download(QByteArrayLiteral("LIST recvq"), bytes, kMaxReceivedList);
    if (!reply) {
        d.loggedIn = false;
        d.Fail(Failure::Unreachable, d.connection.Error());
        return std::nullopt;
    }
    if (!reply->Positive()) {
        d.Trouble(*reply, QStringLiteral("listing the received faxes"));
        return std::nullopt;
    }
    QList<HylafaxReceived> faxes = HylafaxReplies::ReceivedList(bytes, rejectedLines);
    // The server lists every fax to every client unless told otherwise, but lets a client
    // read only those its protection allows: "-rw-r--" is the owner's and everyone's rights.
    const QString user = d.User();
    for (HylafaxReceived& fax : faxes) {
        if (fax.mode.size() == 7 && fax.mode.at(0) == u'-') {
            fax.readable = fax.mode.at(4) == u'r' || (fax.owner == user && fax.mode.at(1) == u'r');
        }
    }
    return faxes;
}

bool HylafaxClient::Retrieve(const QString& file, QIODevice& sink, qint64 maxBytes) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!HylafaxReplies::IsReceivedFile(file.toLatin1()) || file.toLatin1() != file.toUtf8()) {
        return d.Fail(Failure::Refused, QStringLiteral("%1 is no received fax").arg(file));
    }
    if (!d.Login() || !d.ImageType()) {
        return false;
    }
    const auto reply = d.connection.DownloadTo("RETR recvq/" + file.toLatin1(), sink, maxBytes);
    if (!reply) {
        d.loggedIn = false;
        return d.Fail(Failure::Unreachable, d.connection.Error());
    }
    return reply->Positive() || d.Refusal(*reply, QStringLiteral("RETR recvq/%1").arg(file));
}

bool HylafaxClient::Delete(const QString& file) {
    Impl& d = *m_impl;
    d.Succeed();
    if (!HylafaxReplies::IsReceivedFile(file.toLatin1()) || file.toLatin1() != file.toUtf8()) {
        return d.Fail(Failure::Refused, QStringLiteral("%1 is no received fax").arg(file));
    }
    return d.Login() &&
           d.Require("DELE recvq/" + file.toLatin1(), QStringLiteral("DELE recvq/%1").arg(file));
}

void HylafaxClient::Close() {
    m_impl->connection.Quit();
    m_impl->loggedIn = false;
}

HylafaxClient::Failure HylafaxClient::LastFailure() const {
    return m_impl->failure;
}

QString HylafaxClient::LastError() const {
    return m_impl->error;
}

} // namespace faxapp
