#include "faxapp/sending/JobOutcome.h"

#include "fax/OemFile.h"

#include <QDateTime>
#include <algorithm>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString Duration(int seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString JobOutcome::Fit(const QString& value, int maxChars) {
    // Cut between characters: never half of a surrogate pair (an emoji), which no server
    // takes.
    qsizetype length = std::min<qsizetype>(value.size(), maxChars);
    if (length > 0 && length < value.size() && value.at(length - 1).isHighSurrogate())
        --length;
    QString fitted = value.left(length);
    for (QChar& c : fitted) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return fitted.trimmed();
}

QString JobOutcome::Describe(const FaxJobStatus& status, const QString& jobId) {
    switch (status.state) {
    case FaxJobStatus::State::Done:
        return QStringLiteral("fax server job %1: sent, %2 page(s)")
            .arg(jobId)
            .arg(status.pagesSent);
    case FaxJobStatus::State::Gone:
        return QStringLiteral("fax server job %1 is no longer known to the server; its outcome "
                              "is lost")
            .arg(jobId);
    default:
        break;
    }
    QString text = QStringLiteral("fax server job %1: ").arg(jobId);
    if (status.statusCode > 0)
        text += QString::number(status.statusCode) + u' ';
    return text + (status.status.isEmpty() ? QStringLiteral("failed") : status.status);
}

void JobOutcome::ApplyServerOutcome(JobFile& job, const FaxJobStatus& status,
                                    const QString& jobId) {
    const bool sent = status.state == FaxJobStatus::State::Done;
    if (status.pagesSent > 0 || sent)
        job.SetValue(Field::Pages, QString::number(status.pagesSent));
    if (status.signalRate > 0)
        job.SetValue(Field::Speed, QString::number(status.signalRate));
    if (!status.remoteId.isEmpty())
        job.SetValue(Field::ReceivId, Fit(status.remoteId, 64));
    if (!status.dataFormat.isEmpty())
        job.SetValue(Field::Mode, Fit(status.dataFormat, 64));
    if (status.started.isValid()) {
        const QDateTime local = status.started.toLocalTime();
        job.SetValue(Field::FaxDate, local.toString(QStringLiteral("yy-MM-dd")));
        job.SetValue(Field::FaxStart, local.toString(QStringLiteral("HH:mm:ss")));
    }
    if (status.durationSecs >= 0)
        job.SetValue(Field::FaxDauer, Duration(status.durationSecs));
    if (sent) {
        job.SetValue(Field::Status, StatusSent());
        job.SetValue(Field::Error, QString());
        return;
    }
    const bool gone = status.state == FaxJobStatus::State::Gone;
    job.SetValue(Field::Status, gone ? StatusUnknown() : StatusFailed());
    job.SetValue(Field::Error, Fit(Describe(status, jobId)));
}

void JobOutcome::ApplyRefusal(JobFile& job, const QString& reason) {
    job.SetValue(Field::Status, StatusRefused());
    job.SetValue(Field::Error, Fit(reason));
}

JobFile JobOutcome::Salvage(QByteArrayView bytes) {
    JobFile job;
    const QString text = COemFile::FromOem(
        bytes.first(std::min<qsizetype>(bytes.size(), qsizetype{1} << 20)).toByteArray());
    for (const QString& rawLine : text.split(u'\n')) {
        const QString line = rawLine.endsWith(u'\r') ? rawLine.chopped(1) : rawLine;
        if (line.size() < 9 || line.at(8) != u':')
            continue;
        for (int i = 0; i < JobFile::kFieldCount; ++i) {
            const auto field = static_cast<Field>(i);
            if (line.left(8).toLatin1() == JobFile::Key(field)) {
                const QString value = Fit(line.mid(9));
                if (field != Field::Function || value == JobFile::PollFunction())
                    job.SetValue(field, value);
            }
        }
    }
    return job;
}

} // namespace faxapp
