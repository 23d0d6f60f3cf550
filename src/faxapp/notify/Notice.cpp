#include "faxapp/notify/Notice.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString Tr(const char* text, int n = -1) {
    return QCoreApplication::translate("JobNotice", text, nullptr, n);
}

// HylaFAX says a job removed with faxrm was "aborted by request".
bool IsCancellation(const QString& error) {
    return error.contains(QLatin1String("by request"), Qt::CaseInsensitive);
}

} // namespace

QString ReasonOf(const QString& error) {
    static const QRegularExpression prefix(QStringLiteral("^fax server job \\S+: "));
    QString reason = error;
    reason.remove(prefix);
    return reason.trimmed();
}

QString RecipientText(const QString& name, const QString& number) {
    if (name.isEmpty())
        return number;
    return Tr("%1 (%2)").arg(name, number);
}

NoticeFacts FactsOf(const EndedJob& ended, const QString& name) {
    NoticeFacts facts;
    facts.job = ended.name;
    facts.number = ended.job.Value(Field::Address);
    facts.name = name;
    facts.pages = ended.job.Value(Field::Pages).toInt();
    const QString error = ended.job.Value(Field::Error);
    facts.reason = ReasonOf(error);
    switch (ended.outcome) {
    case JobFiler::Outcome::Sent:
        facts.kind = Notice::Kind::Sent;
        break;
    case JobFiler::Outcome::Refused:
        facts.kind = Notice::Kind::Refused;
        break;
    case JobFiler::Outcome::Failed:
        facts.kind = IsCancellation(error) ? Notice::Kind::Cancelled : Notice::Kind::Failed;
        break;
    }
    return facts;
}

Notice MakeNotice(const NoticeFacts& facts) {
    Notice notice;
    notice.kind = facts.kind;
    notice.job = facts.job;
    const QString to = RecipientText(facts.name, facts.number);
    switch (facts.kind) {
    case Notice::Kind::Sent:
        notice.summary = Tr("Fax sent");
        notice.body = Tr("%n page(s) sent to %1.", facts.pages).arg(to);
        break;
    case Notice::Kind::Failed:
        notice.summary = Tr("Fax not sent");
        notice.body = Tr("To %1: %2").arg(to, facts.reason);
        if (facts.pages > 0)
            notice.body += u'\n' + Tr("%n page(s) were sent before it failed.", facts.pages);
        break;
    case Notice::Kind::Refused:
        notice.summary = Tr("Fax refused");
        notice.body = Tr("To %1: %2").arg(to, facts.reason);
        break;
    case Notice::Kind::Cancelled:
        notice.summary = Tr("Fax cancelled");
        notice.body = Tr("To %1: the job was removed at the fax server.").arg(to);
        break;
    case Notice::Kind::Waiting:
        notice.summary = Tr("Fax waiting");
        notice.body =
            Tr("To %1: waiting for the fax server for %n minute(s).", facts.waitedMins).arg(to);
        break;
    }
    return notice;
}

} // namespace faxapp
