// What a HylaFAX server sends the client, any bytes. The control connection's bytes split
// into the same replies however they arrive (all at once or in pieces), each reply with a
// code from 100 to 599, its lines as sent, ending as the protocol says; the names taken from
// replies are plain (a data port, a job id of digits, a file name that may go on a command
// line); a queue file's values hold no control characters and read back as they were read; a
// receive queue's listing names only plain fax files and reads back as it was read.

#include "FuzzInput.h"
#include "faxapp/hylafax/HylafaxReplies.h"

#include <QRegularExpression>
#include <algorithm>

namespace Replies = faxapp::HylafaxReplies;
using Reply = Replies::Reply;
using Scan = Replies::Scan;

namespace {

struct Split {
    QList<Reply> replies;
    Scan end = Scan::Incomplete;
    QString error;
};

// The replies in stream, its bytes handed over in pieces of the given sizes (cycled).
Split SplitReplies(const QByteArray& stream, const QList<int>& pieces) {
    Split split;
    QByteArray in;
    qsizetype fed = 0;
    for (int i = 0;; ++i) {
        Reply reply;
        const Scan scan = Replies::TakeReply(in, reply, split.error);
        if (scan == Scan::Complete) {
            split.replies.append(reply);
            continue;
        }
        if (scan == Scan::Bad || fed == stream.size()) {
            split.end = scan;
            return split;
        }
        const qsizetype piece = pieces.isEmpty() ? stream.size() : pieces[i % pieces.size()];
        in += stream.mid(fed, piece);
        fed = std::min(stream.size(), fed + piece);
    }
}

bool Printable(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return false;
    return text == text.trimmed();
}

void CheckReply(const Reply& reply) {
    FUZZ_CHECK(reply.code >= 100 && reply.code < 600);
    FUZZ_CHECK(!reply.lines.isEmpty() && reply.lines.size() <= Replies::kMaxReplyLines);
    const QByteArray code = QByteArray::number(reply.code);
    FUZZ_CHECK(reply.lines.first().startsWith(code));
    if (reply.lines.size() > 1)
        FUZZ_CHECK(reply.lines.last().startsWith(code + ' '));
    for (const QByteArray& line : reply.lines)
        FUZZ_CHECK(!line.contains('\n'));
    FUZZ_CHECK(Printable(reply.Line()));

    const QByteArray text = reply.Text();
    for (const int port : {Replies::ExtendedPassivePort(text), Replies::PassivePort(text)})
        FUZZ_CHECK(port == -1 || (port > 0 && port < 65536));
    static const QRegularExpression plainPath(QStringLiteral("^/?[A-Za-z0-9._/-]+$"));
    const QByteArray file = Replies::ServerFile(text);
    FUZZ_CHECK(file.isEmpty() || plainPath.match(QString::fromLatin1(file)).hasMatch());
    const QString job = Replies::NewJobId(text);
    for (const QChar c : job)
        FUZZ_CHECK(c >= u'0' && c <= u'9');
    Replies::JobState(text.trimmed());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray stream(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Pieces of 1 to 16 bytes, chosen by the bytes themselves.
    QList<int> pieces;
    for (qsizetype i = 0; i < stream.size() && pieces.size() < 64; i += 7)
        pieces.append(1 + static_cast<unsigned char>(stream[i]) % 16);
    const Split whole = SplitReplies(stream, {});
    const Split bytewise = SplitReplies(stream, {1});
    const Split chunked = SplitReplies(stream, pieces);
    for (const Split* other : {&bytewise, &chunked}) {
        // A line longer than the limit may be refused before its end arrives.
        if (stream.size() > Replies::kMaxLine)
            break;
        FUZZ_CHECK(other->end == whole.end && other->error == whole.error);
        FUZZ_CHECK(other->replies.size() == whole.replies.size());
        for (qsizetype i = 0; i < whole.replies.size(); ++i) {
            FUZZ_CHECK(other->replies[i].code == whole.replies[i].code);
            FUZZ_CHECK(other->replies[i].lines == whole.replies[i].lines);
        }
    }
    QByteArray taken;
    for (const Reply& reply : whole.replies) {
        CheckReply(reply);
        for (const QByteArray& line : reply.lines)
            taken += line;
    }
    QByteArray sent = stream;
    sent.replace("\r\n", "").replace('\n', "");
    FUZZ_CHECK(sent.startsWith(taken) || whole.replies.isEmpty());

    // The same bytes as a job's queue file.
    faxapp::HylafaxJobStatus status;
    Replies::ReadQueueFile(stream, status);
    FUZZ_CHECK(Printable(status.remoteId) && Printable(status.dataFormat));
    faxapp::HylafaxJobStatus again;
    Replies::ReadQueueFile("csi:" + status.remoteId.toUtf8() +
                               "\ndataformat:" + status.dataFormat.toUtf8() +
                               "\nsignalrate:" + QByteArray::number(status.signalRate) + " bit/s\n",
                           again);
    FUZZ_CHECK(again.remoteId == status.remoteId && again.dataFormat == status.dataFormat &&
               again.signalRate == status.signalRate);

    // The same bytes as a listing of the receive queue: every fax named is a plain file name,
    // each line is taken or counted as rejected, and what was taken reads back alike.
    int rejected = 0;
    const QList<faxapp::HylafaxReceived> faxes = Replies::ReceivedList(stream, &rejected);
    qsizetype lines = 0;
    for (const QByteArray& line : stream.split('\n'))
        lines += line.trimmed().isEmpty() || line == "\r" ? 0 : 1;
    FUZZ_CHECK(faxes.size() + rejected == lines);
    static const QRegularExpression faxName(QStringLiteral("^fax[0-9]+\\.tif$"));
    QByteArray listing;
    for (const faxapp::HylafaxReceived& fax : faxes) {
        FUZZ_CHECK(faxName.match(fax.file).hasMatch() &&
                   Replies::IsReceivedFile(fax.file.toLatin1()));
        FUZZ_CHECK(Printable(fax.sender) && Printable(fax.error) && Printable(fax.owner));
        FUZZ_CHECK(fax.pages >= 0 && fax.size >= 0);
        listing += fax.file.toLatin1() + '|' +
                   QByteArray::number(fax.arrived.isValid() ? fax.arrived.toSecsSinceEpoch() : 0) +
                   '|' + QByteArray::number(fax.pages) + '|' + QByteArray::number(fax.resolution) +
                   '|' + (fax.receiving ? "*" : " ") + '|' + QByteArray::number(fax.signalRate) +
                   '|' + fax.owner.toUtf8() + '|' + fax.mode.toUtf8() + '|' +
                   QByteArray::number(fax.size) + '|' + fax.dataFormat.toUtf8() + '|' +
                   fax.sender.toUtf8() + '|' + fax.error.toUtf8() + '\n';
    }
    int rejectedAgain = 0;
    const QList<faxapp::HylafaxReceived> reread = Replies::ReceivedList(listing, &rejectedAgain);
    if (std::all_of(faxes.begin(), faxes.end(), [](const faxapp::HylafaxReceived& fax) {
            return !fax.error.contains(u'|') && !fax.owner.contains(u'|') &&
                   !fax.mode.contains(u'|') && !fax.dataFormat.contains(u'|');
        })) {
        FUZZ_CHECK(rejectedAgain == 0 && reread.size() == faxes.size());
        for (qsizetype i = 0; i < faxes.size(); ++i)
            FUZZ_CHECK(reread[i].file == faxes[i].file && reread[i].sender == faxes[i].sender &&
                       reread[i].pages == faxes[i].pages &&
                       reread[i].receiving == faxes[i].receiving &&
                       reread[i].arrived == faxes[i].arrived);
    }

    // Ports said the way servers say them read back.
    const int port = 1 + (size * 2654435761U) % 65535;
    FUZZ_CHECK(Replies::ExtendedPassivePort("Entering Extended Passive Mode (|||" +
                                            QByteArray::number(port) + "|)") == port);
    FUZZ_CHECK(Replies::PassivePort("Entering passive mode (127,0,0,1," +
                                    QByteArray::number(port >> 8) + ',' +
                                    QByteArray::number(port & 0xFF) + ")") == port);
    return 0;
}
