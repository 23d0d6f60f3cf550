#include "faxapp/notify/Notice.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString Tr(const char* text, int n = -1) {
    return QCoreApplication::translate("faxapp::JobNotice", text, nullptr, n);
}

// HylaFAX says a job removed with faxrm was "aborted by request".
bool IsCancellation(const QString& error) {
    return error.contains(QLatin1String("by request"), Qt::CaseInsensitive);
}

// A sender that did not tell who it is.
QString From(const QString& sender) {
    return sender.isEmpty() ? Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "unbekanntem Absender"))
                            : sender;
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
    return Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "%1 (%2)")).arg(name, number);
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
    case JobFiler::Outcome::Cancelled:
        facts.kind = Notice::Kind::Cancelled;
        break;
    case JobFiler::Outcome::Failed:
        facts.kind = IsCancellation(error) ? Notice::Kind::Cancelled : Notice::Kind::Failed;
        break;
    }
    return facts;
}

NoticeFacts FactsOf(const ArrivedFax& fax, const QString& name) {
    NoticeFacts facts;
    facts.job = fax.jobFile;
    facts.number = fax.IsPoll() ? fax.number : fax.sender;
    facts.name = name;
    facts.pages = fax.pages;
    facts.reason = fax.reason;
    switch (fax.kind) {
    case ArrivedFax::Kind::Received:
        facts.kind = Notice::Kind::Received;
        break;
    case ArrivedFax::Kind::Damaged:
        facts.kind = Notice::Kind::Damaged;
        break;
    case ArrivedFax::Kind::Polled:
        facts.kind = Notice::Kind::Polled;
        break;
    case ArrivedFax::Kind::NothingPolled:
        facts.kind = Notice::Kind::NothingPolled;
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
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax gesendet"));
        notice.body =
            Tr(QT_TRANSLATE_N_NOOP("faxapp::JobNotice", "%n Seiten an %1 gesendet."), facts.pages)
                .arg(to);
        break;
    case Notice::Kind::Failed:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax nicht gesendet"));
        notice.body = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "An %1: %2")).arg(to, facts.reason);
        if (facts.pages > 0)
            notice.body +=
                u'\n' + Tr(QT_TRANSLATE_N_NOOP("faxapp::JobNotice",
                                               "Vor dem Fehler wurden %n Seiten gesendet."),
                           facts.pages);
        break;
    case Notice::Kind::Refused:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax abgewiesen"));
        notice.body = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "An %1: %2")).arg(to, facts.reason);
        break;
    case Notice::Kind::Cancelled:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax abgebrochen"));
        notice.body = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice",
                                           "An %1: Der Auftrag wurde am Faxserver gelöscht."))
                          .arg(to);
        break;
    case Notice::Kind::Waiting:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax wartet"));
        notice.body = Tr(QT_TRANSLATE_N_NOOP("faxapp::JobNotice",
                                             "An %1: wartet seit %n Minuten auf den Faxserver."),
                         facts.waitedMins)
                          .arg(to);
        break;
    case Notice::Kind::Received:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax empfangen"));
        notice.body =
            Tr(QT_TRANSLATE_N_NOOP("faxapp::JobNotice", "%n Seiten von %1 empfangen."), facts.pages)
                .arg(From(to));
        break;
    case Notice::Kind::Damaged:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax beschädigt empfangen"));
        notice.body = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice",
                                           "Von %1: %2\nDie Datei wurde so aufbewahrt, wie sie "
                                           "ankam."))
                          .arg(From(to), facts.reason);
        break;
    case Notice::Kind::Polled:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Fax abgerufen"));
        notice.body =
            Tr(QT_TRANSLATE_N_NOOP("faxapp::JobNotice", "%n Seiten von %1 abgerufen."), facts.pages)
                .arg(to);
        break;
    case Notice::Kind::NothingPolled:
        notice.summary = Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Abruf ohne Dokument"));
        notice.body =
            Tr(QT_TRANSLATE_NOOP("faxapp::JobNotice", "Von %1 wurde nichts empfangen.")).arg(to);
        break;
    }
    return notice;
}

} // namespace faxapp
