#include "fax/JobFileWriter.h"

#include "fax/OemFile.h"

#include <QStringList>
#include <cerrno>

namespace {

// The job file, one text per line, each ending in a line feed.
QStringList JobLines(const QString& function, const QString& document, const QString& number,
                     const QString& format, const QString& resolution, const QString& sendTime) {
    return {
        QStringLiteral("A*APPLI/COM*V001\n"),
        QStringLiteral("FUNCTION:") + function + u'\n',
        QStringLiteral("FILENAME:") + document + u'\n',
        QStringLiteral("ADDRESS :") + number + u'\n',
        QStringLiteral("SERVICE :FX3\n"),
        QStringLiteral("CONVERT :") + format + u'\n',
        QStringLiteral("FAXRES  :") + resolution + u'\n',
        QStringLiteral("SPEED   :\n"),
        QStringLiteral("PAGES   :\n"),
        QStringLiteral("RECEIVID:\n"),
        QStringLiteral("SENDTIME:") + sendTime + u'\n',
        QStringLiteral("ERROR   :\n"),
        QStringLiteral("STATUS  :\n"),
        QStringLiteral("FAXDATE :\n"),
        QStringLiteral("FAXSTART:\n"),
        QStringLiteral("FAXDAUER:\n"),
        QStringLiteral("CHARGE  :\n"),
        QStringLiteral("MODE    :\n"),
    };
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
    return WriteLines(jobFilePath, JobLines(QStringLiteral("SENDACK"), document, number, format,
                                            QString::number(resolution), sendTime));
}

int WritePollJob(const QString& jobFilePath, const QString& number, const QString& sendTime) {
    if (HasControlCharacter(number) || HasControlCharacter(sendTime))
        return Refuse();
    return WriteLines(jobFilePath, JobLines(QStringLiteral("POLL"), {}, number,
                                            QStringLiteral("SFF"), {}, sendTime));
}

QByteArray SendJobBytes(const QString& document, const QString& number, const QString& format,
                        int resolution, const QString& sendTime) {
    return JobBytes(JobLines(QStringLiteral("SENDACK"), document, number, format,
                             QString::number(resolution), sendTime));
}

QByteArray PollJobBytes(const QString& number, const QString& sendTime) {
    return JobBytes(
        JobLines(QStringLiteral("POLL"), {}, number, QStringLiteral("SFF"), {}, sendTime));
}
