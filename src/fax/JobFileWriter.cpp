#include "fax/JobFileWriter.h"

#include "fax/JobFile.h"
#include "fax/OemFile.h"

#include <QStringList>
#include <cerrno>

namespace {

JobFile MakeJob(const QString& function, const QString& document, const QString& number,
                const QString& format, const QString& resolution, const QString& sendTime) {
    JobFile job(function);
    job.SetValue(JobFile::Field::FileName, document);
    job.SetValue(JobFile::Field::Address, number);
    job.SetValue(JobFile::Field::Service, QStringLiteral("FX3"));
    job.SetValue(JobFile::Field::Convert, format);
    job.SetValue(JobFile::Field::FaxRes, resolution);
    job.SetValue(JobFile::Field::SendTime, sendTime);
    return job;
}

// The job file, one text per line, each ending in a line feed.
QStringList JobLines(const QString& function, const QString& document, const QString& number,
                     const QString& format, const QString& resolution, const QString& sendTime) {
    const JobFile job = MakeJob(function, document, number, format, resolution, sendTime);
    QStringList lines{QString::fromLatin1(JobFile::FirstLine()) + u'\n'};
    for (int i = 0; i < JobFile::kFieldCount; ++i) {
        const auto field = static_cast<JobFile::Field>(i);
        lines.append(QString::fromLatin1(JobFile::Key(field)) + u':' + job.Value(field) + u'\n');
    }
    return lines;
}

int WriteLines(const QString& path, const QStringList& lines) {
    COemFile file;
    if (!file.Open(path))
        return 1;
    for (const QString& line : lines) {
        if (!file.WriteOemString(line)) {
            const int error = errno;
            file.Close();
            errno = error;
            return 1;
        }
    }
    // On disk before anyone is shown the file: the fax application may act on it at once.
    if (!file.Flush()) {
        const int error = errno;
        file.Close();
        errno = error;
        return 1;
    }
    return file.Close() ? 0 : 1;
}

QByteArray JobBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += COemFile::OemText(line);
    return bytes;
}

int Refuse() {
    errno = EINVAL;
    return 1;
}

} // namespace

bool HasControlCharacter(const QString& value) {
    for (const QChar c : value) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
        }
    }
    return false;
}

int WriteSendJob(const QString& jobFilePath, const QString& document, const QString& number,
                 const QString& format, int resolution, const QString& sendTime) {
    if (HasControlCharacter(document) || HasControlCharacter(number) ||
        HasControlCharacter(format) || HasControlCharacter(sendTime))
        return Refuse();
    return WriteLines(jobFilePath, JobLines(JobFile::SendFunction(), document, number, format,
                                            QString::number(resolution), sendTime));
}

int WritePollJob(const QString& jobFilePath, const QString& number, const QString& sendTime) {
    if (HasControlCharacter(number) || HasControlCharacter(sendTime))
        return Refuse();
    return WriteLines(jobFilePath, JobLines(JobFile::PollFunction(), {}, number,
                                            QStringLiteral("SFF"), {}, sendTime));
}

QByteArray SendJobBytes(const QString& document, const QString& number, const QString& format,
                        int resolution, const QString& sendTime) {
    return JobBytes(JobLines(JobFile::SendFunction(), document, number, format,
                             QString::number(resolution), sendTime));
}

QByteArray PollJobBytes(const QString& number, const QString& sendTime) {
    return JobBytes(
        JobLines(JobFile::PollFunction(), {}, number, QStringLiteral("SFF"), {}, sendTime));
}
