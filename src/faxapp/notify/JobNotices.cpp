#include "faxapp/notify/JobNotices.h"

#include "fax/FaxContract.h"
#include "faxapp/contacts/NumberLookup.h"
#include "faxapp/notify/Notifier.h"
#include "support/Clock.h"
#include "support/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace faxapp {

namespace {

using Field = JobFile::Field;

// When the job is due: its send time ("YY-MM-DD-hh:mm", local), else when it was written.
QDateTime DueAt(const JobFile& job, const QDateTime& written) {
    const QString& text = job.Value(Field::SendTime);
    const QDateTime parsed = QDateTime::fromString(text, QStringLiteral("yy-MM-dd-HH:mm"));
    if (!parsed.isValid())
        return written;
    const QDateTime at(
        QDate(2000 + parsed.date().year() % 100, parsed.date().month(), parsed.date().day()),
        parsed.time());
    return std::max(at, written);
}

} // namespace

JobNotices::JobNotices(const NoticeSettings& settings, QString dataDir, QString contactsDir,
                       Notifier& notifier, const Clock& clock)
    : m_settings(settings), m_dataDir(std::move(dataDir)), m_contactsDir(std::move(contactsDir)),
      m_notifier(notifier), m_clock(clock) {}

void JobNotices::JobFiled(const EndedJob& ended) {
    if (!m_settings.enabled)
        return;
    const NoticeFacts facts =
        FactsOf(ended, NameOfNumberIn(m_contactsDir, ended.job.Value(Field::Address)));
    const Notice notice = MakeNotice(facts);
    if (m_settings.failuresOnly && !notice.IsTrouble())
        return;
    m_notifier.Notify(notice);
}

void JobNotices::FaxArrived(const ArrivedFax& fax) {
    if (!m_settings.enabled)
        return;
    const QString number = fax.IsPoll() ? fax.number : fax.sender;
    const Notice notice = MakeNotice(FactsOf(fax, NameOfNumberIn(m_contactsDir, number)));
    if (m_settings.failuresOnly && !notice.IsTrouble())
        return;
    m_notifier.Notify(notice);
}

void JobNotices::PassEnded() {
    if (!m_settings.enabled || m_settings.waitMinutes <= 0 || m_dataDir.isEmpty())
        return;
    // A job is told of once: its name and its file's time, so that a later job of the same
    // name is told of again.
    const QString recordPath = m_dataDir + u'/' + kWaitRecord;
    QSet<QString> told;
    if (QFile record(recordPath); record.open(QIODevice::ReadOnly))
        for (const QByteArray& line : record.read(1 << 20).split('\n'))
            if (!line.isEmpty())
                told.insert(QString::fromUtf8(line));
    QSet<QString> stillWaiting;
    const QDateTime now = m_clock.Now();
    const QDir comjob(m_dataDir + u'/' + fax::kFolderComjob);
    const auto files = comjob.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& info : files) {
        if (!IsJobFileName(info.fileName()))
            continue;
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const auto job =
            JobFile::Parse(file.read(qint64{JobFile::kLineCount} * JobFile::kMaxLineBytes));
        if (!job)
            continue;
        const QDateTime written = info.lastModified();
        const QString key = info.fileName() + u'\t' + QString::number(written.toSecsSinceEpoch());
        const qint64 waited = DueAt(*job, written).secsTo(now) / 60;
        if (waited < m_settings.waitMinutes)
            continue;
        stillWaiting.insert(key);
        if (told.contains(key))
            continue;
        NoticeFacts facts;
        facts.kind = Notice::Kind::Waiting;
        facts.job = info.fileName();
        facts.number = job->Value(Field::Address);
        facts.name = NameOfNumberIn(m_contactsDir, facts.number);
        facts.waitedMins = static_cast<int>(waited);
        m_notifier.Notify(MakeNotice(facts));
    }
    if (stillWaiting == told)
        return;
    QStringList lines(stillWaiting.cbegin(), stillWaiting.cend());
    lines.sort();
    const auto written = ReplaceFilePrivately(
        recordPath, lines.isEmpty() ? QByteArray() : (lines.join(u'\n') + u'\n').toUtf8());
    if (!written)
        std::fprintf(stderr, "kalmofax: %s\n", qPrintable(written.Error().Text()));
}

} // namespace faxapp
