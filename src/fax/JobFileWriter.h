#pragma once

#include "fax/JobFile.h"
#include "support/Result.h"

#include <QByteArray>
#include <QString>

// The two kinds of job file, 18 lines each in the OEM code page with CR LF line ends, all
// made by JobFile. A value holding a control character (a line break among them) would add or
// break lines that the fax application reads, so such a job is not made at all: the problem
// names the value, the reason is the system's text for EINVAL.

// A send job ("FUNCTION:SENDACK") of the document to number.
Result<JobFile> MakeSendJob(const QString& document, const QString& number, const QString& format,
                            int resolution, const QString& sendTime);
// A poll job ("FUNCTION:POLL") fetching a fax from number.
Result<JobFile> MakePollJob(const QString& number, const QString& sendTime);

// The same written to jobFilePath and flushed to disk: 0 when the file was written and
// closed, 1 when not (errno tells why; EINVAL for a value that cannot be written).
int WriteSendJob(const QString& jobFilePath, const QString& document, const QString& number,
                 const QString& format, int resolution, const QString& sendTime);
int WritePollJob(const QString& jobFilePath, const QString& number, const QString& sendTime);

// True when value holds a control character or a line or paragraph separator.
bool HasControlCharacter(const QString& value);

// The bytes of the two kinds of job file, as the writers above store them; empty for values
// that cannot be written.
QByteArray SendJobBytes(const QString& document, const QString& number, const QString& format,
                        int resolution, const QString& sendTime);
QByteArray PollJobBytes(const QString& number, const QString& sendTime);
