#pragma once

// The parameter lines that set up one job on a HylaFAX server, built and checked before a byte
// is sent: a value that cannot travel (a control character, a number that cannot be dialled,
// a line longer than the server reads) refuses the job here, so that the server never holds
// half of it and never reads a value's tail as a command.

#include "faxapp/hylafax/HylafaxJob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class QFile;

namespace faxapp {

class HylafaxJobRequest {
public:
    // The lines for the submission, or nullopt with the reason in problem.
    static std::optional<HylafaxJobRequest> Build(const HylafaxSubmission& submission,
                                                  const QString& user, QString& problem);
    // The lines in the order they are sent; the last one names the document as the server
    // stored it, or asks for a poll.
    QList<QByteArray> Lines(const QByteArray& serverFile) const;

    // Opens a document for reading: a regular file, not reached through a symbolic link, that
    // starts as a TIFF file does.
    static bool OpenDocument(const QString& path, QFile& file);
    // Whether a text can be one value on a command line and one line of the server's queue
    // file: no line ends, no other control characters, nothing that is not Unicode.
    static bool Travels(const QString& value);
    // hfaxd's quoted string, in which a backslash takes the next character as it is.
    static QByteArray Quoted(const QString& value);

private:
    QList<QByteArray> m_lines;
    bool m_poll = false;
};

} // namespace faxapp
