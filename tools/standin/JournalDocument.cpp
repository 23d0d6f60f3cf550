#include "JournalDocument.h"

#include "Server.h"
#include "platform/DBusAutomation.h"

#include <QFile>
#include <QStringList>

namespace standin {

namespace {

constexpr int kDispidSendJob = 1;
constexpr int kDispidPollJob = 2;

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// "error XXXXXXXX: text" throws that error; a number is the answer.
qint16 AnswerFrom(const QString& script) {
    if (script.startsWith(QStringLiteral("error "))) {
        const QString error = script.mid(6).trimmed();
        const qsizetype colon = error.indexOf(QLatin1Char(':'));
        bool ok = false;
        const quint32 code = error.left(colon).trimmed().toUInt(&ok, 16);
        if (colon < 0 || !ok)
            ThrowError(scode::kException, error);
        ThrowError(static_cast<qint32>(code), error.mid(colon + 1).trimmed());
    }
    bool ok = false;
    const short answer = script.toShort(&ok);
    if (!ok)
        ThrowError(scode::kException,
                   QStringLiteral("KalmoJournal: unreadable answer '%1'").arg(script));
    return answer;
}

// Takes the first line of the answer file, if there is one, and leaves the rest for the
// calls that follow.
QString TakeScriptedAnswer() {
    const QString path = Env("KALMO_STANDIN_JOURNAL_ANSWER_FILE");
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    file.close();
    if (lines.isEmpty() || (lines.size() == 1 && lines.constFirst().isEmpty()))
        return {};
    const QString first = lines.takeFirst().trimmed();
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(lines.join(QLatin1Char('\n')).toUtf8());
    return first;
}

qint16 NextAnswer() {
    QString script = TakeScriptedAnswer();
    if (script.isEmpty()) {
        const QString error = Env("KALMO_STANDIN_JOURNAL_ERROR");
        if (!error.isEmpty())
            script = QStringLiteral("error ") + error;
    }
    if (script.isEmpty())
        script = Env("KALMO_STANDIN_JOURNAL_ANSWER").trimmed();
    return script.isEmpty() ? qint16{0} : AnswerFrom(script);
}

class JournalDocument final : public DispatchObject {
public:
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        // Every call is recorded as it came, so that a test sees what was passed even when
        // the journal then refuses it.
        const QString journal = Env("KALMO_STANDIN_JOURNAL");
        if (!journal.isEmpty() &&
            !AppendToFile(journal, CallLine(dispid, kind, args) + QLatin1Char('\n')))
            ThrowError(scode::kException,
                       QStringLiteral("KalmoJournal: cannot write %1").arg(journal));

        if (kind != InvokeKind::Method)
            ThrowError(dbusauto::kMemberNotFound);
        if (dispid == kDispidSendJob)
            ExpectArgs(args, {VT_BSTR, VT_BSTR, VT_BSTR, VT_I2, VT_BSTR, VT_BSTR, VT_I2});
        else if (dispid == kDispidPollJob)
            ExpectArgs(args, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR});
        else
            ThrowError(dbusauto::kMemberNotFound);
        return AutoVariant::I2(NextAnswer());
    }
};

} // namespace

DispatchPtr MakeJournalDocument() {
    return std::make_shared<JournalDocument>();
}

} // namespace standin
