#include "faxapp/hylafax/HylafaxJobRequest.h"

#include "faxapp/hylafax/HylafaxConnection.h"

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faxapp {

namespace {

// How long after its time to send the server keeps trying a job before it gives up on it
// (DDHHMM). Without it the server takes the job's kill time as already passed.
constexpr const char* kKillAfter = "000300";

// A number as typed: printable ASCII with at least one digit. Quotes and backslashes have no
// place in a number, and a byte the modem cannot dial is better refused here than dialled.
QString NumberProblem(const QString& number) {
    bool digit = false;
    for (const QChar c : number) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == u'"' || c == u'\\') {
            return QStringLiteral("the number holds a character that cannot be dialled");
        }
        digit = digit || c.isDigit();
    }
    return digit ? QString() : QStringLiteral("the number holds no digit");
}

} // namespace

bool HylafaxJobRequest::Travels(const QString& value) {
    if (!value.isValidUtf16()) {
        return false;
    }
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

QByteArray HylafaxJobRequest::Quoted(const QString& value) {
    QByteArray out = "\"";
    for (const char c : value.toUtf8()) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::optional<HylafaxJobRequest> HylafaxJobRequest::Build(const HylafaxSubmission& submission,
                                                          const QString& user, QString& problem) {
    problem = NumberProblem(submission.number);
    if (problem.isEmpty() && (!Travels(submission.tag) || !Travels(user))) {
        problem = QStringLiteral("the tag or user name holds control characters");
    }
    if (problem.isEmpty() && submission.verticalRes != 98 && submission.verticalRes != 196) {
        problem = QStringLiteral("unknown resolution %1").arg(submission.verticalRes);
    }
    if (!problem.isEmpty()) {
        return std::nullopt;
    }
    HylafaxJobRequest request;
    request.m_poll = submission.poll;
    QList<QByteArray>& lines = request.m_lines;
    lines = {"JPARM FROMUSER " + Quoted(user), "JPARM DIALSTRING " + Quoted(submission.number),
             "JPARM VRES " + QByteArray::number(submission.verticalRes),
             // Fax pages are A4 (in whole millimetres, as the server's page size table gives
             // them): without a size the server would fit the pages to its own default.
             QByteArrayLiteral("JPARM PAGEWIDTH 209"), QByteArrayLiteral("JPARM PAGELENGTH 296"),
             QByteArrayLiteral("JPARM NOTIFY NONE")};
    if (!submission.tag.isEmpty()) {
        lines.append("JPARM JOBINFO " + Quoted(submission.tag));
    }
    // The server takes times in UTC to the minute; a time already passed means at once.
    if (submission.sendTime.isValid() && submission.sendTime > QDateTime::currentDateTimeUtc()) {
        const QDateTime at = submission.sendTime.toUTC();
        if (at.date().year() > 9999) {
            problem = QStringLiteral("the time to send is too far ahead");
            return std::nullopt;
        }
        lines.append("JPARM SENDTIME " + at.toString(QStringLiteral("yyyyMMddHHmm")).toLatin1());
    }
    // The kill time counts from the time to send, so it follows it.
    lines.append(QByteArrayLiteral("JPARM LASTTIME ") + kKillAfter);
    for (const QByteArray& line : lines) {
        if (line.size() > HylafaxConnection::kMaxCommand) {
            problem = QStringLiteral("a value is too long for the server");
            return std::nullopt;
        }
    }
    return request;
}

QList<QByteArray> HylafaxJobRequest::Lines(const QByteArray& serverFile) const {
    QList<QByteArray> lines = m_lines;
    lines.append(m_poll ? QByteArrayLiteral("JPARM POLL \"\" \"\"")
                        : "JPARM DOCUMENT " + serverFile);
    return lines;
}

bool HylafaxJobRequest::OpenDocument(const QString& path, QFile& file) {
    // O_NONBLOCK: a FIFO put in the document's place must not block the open.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    char magic[4] = {};
    return file.read(magic, 4) == 4 &&
           (std::memcmp(magic, "II*\0", 4) == 0 || std::memcmp(magic, "MM\0*", 4) == 0) &&
           file.seek(0);
}

} // namespace faxapp
