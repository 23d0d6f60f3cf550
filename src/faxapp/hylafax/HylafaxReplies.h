#pragma once

// What the HylaFAX client reads from a server, taken apart without a connection: replies as
// they arrive on the control connection, the ports of passive data connections, the file and
// job names in replies, a job's state and its queue file.

#include "faxapp/hylafax/HylafaxConnection.h"
#include "faxapp/hylafax/HylafaxJob.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace faxapp::HylafaxReplies {

using Reply = HylafaxConnection::Reply;

// hfaxd's replies are short lines; a line or reply far longer than any of them means the peer
// is not a HylaFAX server, and reading on would only fill memory.
inline constexpr qsizetype kMaxLine = 16 * 1024LL;
inline constexpr int kMaxReplyLines = 2000;

// A reply's first line: three digits (100 to 599), then a space (last line), a hyphen (more
// lines follow) or nothing.
bool ParseCode(const QByteArray& line, int& code, bool& more);

enum class Scan { Complete, Incomplete, Bad };
// Takes the first whole reply from the front of in (bytes received, not taken yet): Complete
// with the reply, its bytes removed from in; Incomplete while more bytes are needed; Bad with
// the reason when the bytes are no reply.
Scan TakeReply(QByteArray& in, Reply& reply, QString& error);

// The port of "229 Entering Extended Passive Mode (|||60533|)"; -1 when there is none.
int ExtendedPassivePort(const QByteArray& text);
// The port of "227 Entering passive mode (127,0,0,1,211,107)"; -1 when there is none.
int PassivePort(const QByteArray& text);
// The file name in "FILE: /tmp/doc6.tif (Opening new data connection)."; it goes back on a
// command line, so only a plain path is taken; empty when there is none.
QByteArray ServerFile(const QByteArray& text);
// The job id of "jobid: 42 groupid: 42."; empty when there is none.
QString NewJobId(const QByteArray& text);
// A job's state as JPARM STATE tells it; nothing for a state the client does not know.
std::optional<HylafaxJobStatus::State> JobState(const QByteArray& text);
// Fills what only the job's queue file tells: the rate, data format and receiver of the last
// call ("signalrate:14400 bit/s", "dataformat:2-D MR", "csi:+49 30 1234567").
void ReadQueueFile(const QByteArray& bytes, HylafaxJobStatus& status);

// The format the client sets with RCVFMT for LIST recvq: the fields ReceivedList reads, the
// plain ones first, the sender's identification and the receiver's error words, which may hold
// anything, last.
inline constexpr const char* kReceivedFormat = "%f|%Z|%p|%r|%z|%b|%o|%m|%n|%d|%s|%e";
// Whether a name from the receive queue may go on a command line and become part of a file
// name: "fax" and digits, ".tif"; nothing with a slash, "..", blanks or control characters.
bool IsReceivedFile(const QByteArray& name);
// The faxes of a LIST recvq in kReceivedFormat, one a line. A line that does not parse, or
// names a file IsReceivedFile refuses, is left out and counted in rejected.
QList<HylafaxReceived> ReceivedList(const QByteArray& bytes, int* rejected = nullptr);

} // namespace faxapp::HylafaxReplies
