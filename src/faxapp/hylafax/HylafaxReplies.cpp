#include "faxapp/hylafax/HylafaxReplies.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cctype>

namespace faxapp::HylafaxReplies {

bool ParseCode(const QByteArray& line, int& code, bool& more) {
    if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
        !std::isdigit(static_cast<unsigned char>(line[1])) ||
        !std::isdigit(static_cast<unsigned char>(line[2]))) {
        return false;
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return false;
    }
    code = line.left(3).toInt();
    more = line.size() > 3 && line[3] == '-';
    return code >= 100 && code < 600;
}

Scan TakeReply(QByteArray& in, Reply& reply, QString& error) {
    Reply taken;
    QByteArray last;
    bool more = true;
    qsizetype pos = 0;
    while (more) {
        if (taken.lines.size() >= kMaxReplyLines) {
            error = QStringLiteral("the server's reply does not end");
            return Scan::Bad;
        }
        const qsizetype end = in.indexOf('\n', pos);
        if (end < 0) {
            if (in.size() - pos > kMaxLine) {
                error = QStringLiteral("the server sent a line too long for a reply");
                return Scan::Bad;
            }
            return Scan::Incomplete;
        }
        QByteArray line = in.mid(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (taken.lines.isEmpty()) {
            if (!ParseCode(line, taken.code, more)) {
                error = QStringLiteral("the server's reply does not parse: %1")
                            .arg(QString::fromUtf8(line.left(80)));
                return Scan::Bad;
            }
            // A multi-line reply ends with a line that starts with the same code and a space;
            // the lines between may hold anything, even other codes.
            last = line.left(3) + ' ';
        } else {
            more = !line.startsWith(last);
        }
        taken.lines.append(line);
    }
    in.remove(0, pos);
    reply = taken;
    return Scan::Complete;
}

int ExtendedPassivePort(const QByteArray& text) {
    const qsizetype start = text.indexOf("(|||");
    const qsizetype end = start < 0 ? -1 : text.indexOf("|)", start + 4);
    if (end < 0) {
        return -1;
    }
    bool ok = false;
    const int port = text.mid(start + 4, end - start - 4).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : -1;
}

int PassivePort(const QByteArray& text) {
    // The address is not used: data connections go to the address the control connection
    // reached, never elsewhere.
    const qsizetype start = text.indexOf('(');
    const qsizetype end = start < 0 ? -1 : text.indexOf(')', start);
    if (end < 0) {
        return -1;
    }
    const QList<QByteArray> parts = text.mid(start + 1, end - start - 1).split(',');
    if (parts.size() != 6) {
        return -1;
    }
    bool high = false;
    bool low = false;
    const int port = parts[4].trimmed().toInt(&high) * 256 + parts[5].trimmed().toInt(&low);
    return high && low && port > 0 && port < 65536 ? port : -1;
}

QByteArray ServerFile(const QByteArray& text) {
    static const QRegularExpression file(QStringLiteral("FILE: (/?[A-Za-z0-9._/-]+)"));
    const auto match = file.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

QString NewJobId(const QByteArray& text) {
    static const QRegularExpression jobId(QStringLiteral("jobid: ([0-9]+)"));
    const auto match = jobId.match(QString::fromLatin1(text));
    return match.hasMatch() ? match.captured(1) : QString();
}

std::optional<HylafaxJobStatus::State> JobState(const QByteArray& text) {
    using State = HylafaxJobStatus::State;
    if (text == "ACTIVE") {
        return State::Active;
    }
    if (text == "DONE") {
        return State::Done;
    }
    if (text == "FAILED") {
        return State::Failed;
    }
    if (text == "SUSPENDED" || text == "PENDING" || text == "SLEEPING" || text == "BLOCKED" ||
        text == "READY") {
        return State::Pending;
    }
    return std::nullopt;
}

void ReadQueueFile(const QByteArray& bytes, HylafaxJobStatus& status) {
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            continue;
        }
        const QByteArray key = line.left(colon);
        // The remote identification comes from the far end of a phone line: nothing of it
        // reaches a message or the journal unfiltered.
        const QString value = HylafaxConnection::Printable(line.mid(colon + 1));
        if (key == "signalrate") {
            status.signalRate = value.section(u' ', 0, 0).toInt();
        } else if (key == "dataformat") {
            status.dataFormat = value;
        } else if (key == "csi") {
            status.remoteId = value;
        }
    }
}

bool IsReceivedFile(const QByteArray& name) {
    static const QRegularExpression plain(QStringLiteral("^fax[0-9]{1,20}\\.tif$"));
    return plain.match(QString::fromLatin1(name)).hasMatch();
}

namespace {

constexpr int kPlainFields = 10; // before the sender and the error words

std::optional<HylafaxReceived> ReceivedLine(const QByteArray& line) {
    QList<QByteArray> fields = line.split('|');
    if (fields.size() < kPlainFields + 2 || !IsReceivedFile(fields[0]))
        return std::nullopt;
    HylafaxReceived fax;
    fax.file = QString::fromLatin1(fields[0]);
    bool ok = false;
    const qint64 arrived = fields[1].trimmed().toLongLong(&ok);
    if (ok && arrived > 0)
        fax.arrived = QDateTime::fromSecsSinceEpoch(arrived, QTimeZone::utc());
    fax.pages = std::max(0, fields[2].trimmed().toInt());
    fax.resolution = std::max(0, fields[3].trimmed().toInt());
    fax.receiving = fields[4].trimmed() == "*";
    fax.signalRate = std::max(0, fields[5].trimmed().toInt());
    fax.owner = HylafaxConnection::Printable(fields[6]);
    fax.mode = HylafaxConnection::Printable(fields[7]);
    fax.size = std::max<qint64>(0, fields[8].trimmed().toLongLong());
    fax.dataFormat = HylafaxConnection::Printable(fields[9]);
    // The sender's identification comes from the far end of the phone line and may hold the
    // separator; the error words are the server's own: split at the last one.
    const QByteArray rest = fields.mid(kPlainFields).join('|');
    const qsizetype last = rest.lastIndexOf('|');
    fax.sender = HylafaxConnection::Printable(rest.left(last));
    fax.error = HylafaxConnection::Printable(rest.mid(last + 1));
    return fax;
}

} // namespace

QList<HylafaxReceived> ReceivedList(const QByteArray& bytes, int* rejected) {
    QList<HylafaxReceived> list;
    int bad = 0;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (auto fax = ReceivedLine(line))
            list.append(std::move(*fax));
        else
            ++bad;
    }
    if (rejected != nullptr)
        *rejected = bad;
    return list;
}

} // namespace faxapp::HylafaxReplies
