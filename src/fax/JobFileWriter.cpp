#include "fax/JobFileWriter.h"

#include "fax/PosixFile.h"
#include "support/FileUtil.h"

#include <cerrno>
#include <initializer_list>
#include <utility>

namespace {

Result<JobFile> MakeJob(const QString& function, const QString& document, const QString& number,
                        const QString& format, const QString& resolution, const QString& sendTime) {
    JobFile job(function);
    const std::initializer_list<std::pair<JobFile::Field, const QString*>> values = {
        {JobFile::Field::FileName, &document}, {JobFile::Field::Address, &number},
        {JobFile::Field::Convert, &format},    {JobFile::Field::FaxRes, &resolution},
        {JobFile::Field::SendTime, &sendTime},
    };
    job.SetValue(JobFile::Field::Service, QStringLiteral("FX3"));
    for (const auto& [field, value] : values) {
        if (!job.SetValue(field, *value))
            return Problem{0, *value, GetErrorText(EINVAL)};
    }
    return job;
}

int WriteJob(const QString& path, const Result<JobFile>& job) {
    if (!job) {
        errno = EINVAL;
        return 1;
    }
    const QByteArray bytes = job->Bytes();
    PosixFile file;
    if (!file.Open(path, O_WRONLY | O_CREAT | O_TRUNC))
        return 1;
    // On disk before anyone is shown the file: the fax application may act on it at once.
    if (!file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !file.Sync()) {
        const int error = errno;
        file.Close();
        errno = error;
        return 1;
    }
    return file.Close() ? 0 : 1;
}

QByteArray BytesOf(const Result<JobFile>& job) {
    return job ? job->Bytes() : QByteArray();
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

Result<JobFile> MakeSendJob(const QString& document, const QString& number, const QString& format,
                            int resolution, const QString& sendTime) {
    return MakeJob(JobFile::SendFunction(), document, number, format, QString::number(resolution),
                   sendTime);
}

Result<JobFile> MakePollJob(const QString& number, const QString& sendTime) {
    return MakeJob(JobFile::PollFunction(), {}, number, QStringLiteral("SFF"), {}, sendTime);
}

int WriteSendJob(const QString& jobFilePath, const QString& document, const QString& number,
                 const QString& format, int resolution, const QString& sendTime) {
    return WriteJob(jobFilePath, MakeSendJob(document, number, format, resolution, sendTime));
}

int WritePollJob(const QString& jobFilePath, const QString& number, const QString& sendTime) {
    return WriteJob(jobFilePath, MakePollJob(number, sendTime));
}

QByteArray SendJobBytes(const QString& document, const QString& number, const QString& format,
                        int resolution, const QString& sendTime) {
    return BytesOf(MakeSendJob(document, number, format, resolution, sendTime));
}

QByteArray PollJobBytes(const QString& number, const QString& sendTime) {
    return BytesOf(MakePollJob(number, sendTime));
}
