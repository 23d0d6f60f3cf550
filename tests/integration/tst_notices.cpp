// Notices on the test's private session bus: a real notification daemon (dunst on its own
// Xvfb display) gets what the engine's observer tells, with the contact's name, and a click
// on a notice comes back as the job to show; without a notification service the tray's
// message tells instead. What the settings let through, and a waiting job told of once.

#include "FixedClock.h"
#include "fax/FaxContract.h"
#include "fax/JobFileWriter.h"
#include "faxapp/notify/DesktopNotifier.h"
#include "faxapp/notify/JobNotices.h"
#include "faxapp/notify/NoticeRouter.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <utime.h>

using namespace faxapp;
using Field = JobFile::Field;

namespace {

class FakeTray final : public TrayMessages {
public:
    bool TrayAvailable() const override { return available; }
    void ShowTrayMessage(const QString& title, const QString& text, bool warning) override {
        shown << QStringLiteral("%1|%2|%3").arg(title, text).arg(warning);
    }
    bool available = true;
    QStringList shown;
};

class RecordingNotifier final : public Notifier {
public:
    void Notify(const Notice& notice) override { shown << notice.summary + u'|' + notice.body; }
    QStringList shown;
};

EndedJob Ended(const QString& number, JobFiler::Outcome outcome, const QString& error, int pages) {
    EndedJob ended{
        QStringLiteral("09120000.FX3"),
        *JobFile::Parse(SendJobBytes(QStringLiteral("/x/_FX00001.SFF"), number,
                                     QStringLiteral("SFF"), 196, QStringLiteral("IMMED"))),
        outcome,
        QStringLiteral("7"),
        {}};
    ended.job.SetValue(Field::Pages, QString::number(pages));
    ended.job.SetValue(Field::Error, error);
    return ended;
}

QByteArray Dunstctl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("dunstctl"), args);
    process.waitForFinished(10000);
    return process.readAllStandardOutput();
}

} // namespace

class TestNotices : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_xvfb;
    QProcess m_dunst;
    QString m_contacts;

    void StartDaemon() {
        // A display of its own: the first number free of sockets and locks.
        int display = 90;
        for (; display < 200; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
                continue;
            m_xvfb.start(QStringLiteral("Xvfb"),
                         {QStringLiteral(":%1").arg(display), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")});
            QVERIFY2(m_xvfb.waitForStarted(), "Xvfb does not start (apt install xvfb)");
            QTRY_VERIFY_WITH_TIMEOUT(
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
                    m_xvfb.state() != QProcess::Running,
                10000);
            if (m_xvfb.state() == QProcess::Running)
                break;
        }
        QVERIFY2(m_xvfb.state() == QProcess::Running, "no Xvfb display could be started");
        const QString config = m_dir.path() + QStringLiteral("/dunstrc");
        QFile rc(config);
        QVERIFY(rc.open(QIODevice::WriteOnly));
        rc.write("[global]\n    timeout = 0\n");
        rc.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
        m_dunst.setProcessEnvironment(env);
        m_dunst.start(QStringLiteral("dunst"), {QStringLiteral("-config"), config});
        QVERIFY2(m_dunst.waitForStarted(), "dunst does not start (apt install dunst)");
        QTRY_VERIFY2_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                      QStringLiteral("org.freedesktop.Notifications")),
                                  m_dunst.readAllStandardError().constData(), 15000);
    }

    static void Stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate(); // by its own pid
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        // The notices in English, as on an English desktop.
        m_language = std::make_unique<faxapp::WindowLanguage>(QStringLiteral("EN"));
        QVERIFY(m_dir.isValid());
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        m_contacts = m_dir.path() + QStringLiteral("/contacts");
        QVERIFY(QDir().mkpath(m_contacts));
        QFile card(m_contacts + QStringLiteral("/erika.vcf"));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Erika Mustermann\r\n"
                   "TEL;TYPE=fax,work:+49 30 1234-5\r\nEND:VCARD\r\n");
    }

    void cleanupTestCase() {
        Stop(m_dunst);
        Stop(m_xvfb);
    }

    // First, while no notification service runs on the bus: the tray tells, also when the
    // notice comes from the engine's thread; without a tray, nothing.
    void withoutServiceTheTrayTells() {
        DesktopNotifier desktop(QDBusConnection::sessionBus(), true);
        FakeTray tray;
        NoticeRouter router(&desktop, &tray);
        FixedClock clock;
        JobNotices notices({}, {}, m_contacts, router, clock);
        std::thread engine([&] {
            notices.JobFiled(Ended(QStringLiteral("0049 (30) 12345"), JobFiler::Outcome::Failed,
                                   QStringLiteral("fax server job 7: 0 Busy signal detected"), 0));
        });
        engine.join();
        QTRY_COMPARE(tray.shown, QStringList({"Fax not sent|To Erika Mustermann (0049 (30) "
                                              "12345): 0 Busy signal detected|1"}));
        tray.available = false;
        NoticeFacts sent;
        sent.number = QStringLiteral("0301");
        router.Notify(MakeNotice(sent));
        QCOMPARE(tray.shown.size(), 1);
    }

    // The daemon shows what the observer tells; a click on the notice asks for its job.
    void daemonReceivesNotices() {
        StartDaemon();
        if (QTest::currentTestFailed())
            return;
        DesktopNotifier desktop(QDBusConnection::sessionBus(), true);
        QVERIFY(desktop.Capabilities().contains(u"actions"));
        FakeTray tray;
        NoticeRouter router(&desktop, &tray);
        FixedClock clock;
        JobNotices notices({}, {}, m_contacts, router, clock);
        QSignalSpy open(&desktop, &DesktopNotifier::OpenRequested);

        notices.JobFiled(Ended(QStringLiteral("+49 30 12345"), JobFiler::Outcome::Sent, {}, 3));
        QTRY_COMPARE(Dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed(),
                     QByteArray("1"));
        Dunstctl({QStringLiteral("action"), QStringLiteral("0")});
        QTRY_COMPARE(open.size(), 1);
        QCOMPARE(open[0][0].toString(), QStringLiteral("09120000.FX3"));

        notices.JobFiled(Ended(QStringLiteral("0301111"), JobFiler::Outcome::Failed,
                               QStringLiteral("fax server job 8: 0 No carrier <detected> & gone"),
                               1));
        QTRY_COMPARE(Dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed(),
                     QByteArray("2")); // the first stays until closed
        Dunstctl({QStringLiteral("close-all")});
        QTRY_COMPARE(Dunstctl({QStringLiteral("count"), QStringLiteral("history")}).trimmed(),
                     QByteArray("2"));
        QStringList got;
        const QJsonArray history = QJsonDocument::fromJson(Dunstctl({QStringLiteral("history")}))
                                       .object()[u"data"]
                                       .toArray()
                                       .at(0)
                                       .toArray();
        for (const QJsonValue& entry : history) {
            const QJsonObject n = entry.toObject();
            got << n[u"summary"][u"data"].toString() + u'|' + n[u"body"][u"data"].toString() +
                       u'|' + n[u"category"][u"data"].toString();
        }
        got.sort();
        // To a service that reads markup, "<" and "&" of a reason go escaped.
        QCOMPARE(got,
                 QStringList({"Fax not sent|To 0301111: 0 No carrier &lt;detected&gt; &amp; gone\n"
                              "1 page was sent before it failed.|transfer.error",
                              "Fax sent|3 pages sent to Erika Mustermann (+49 30 "
                              "12345).|transfer.complete"}));
        QVERIFY(tray.shown.isEmpty());
    }

    // `kalmofax run --once` (a terminal, a user unit) tells the daemon too, and keeps the
    // report: a job whose document is missing is refused without a server.
    void runOnceNotifies() {
        if (m_dunst.state() != QProcess::Running)
            QFAIL("the notification daemon is not running");
        const QString home = m_dir.path() + QStringLiteral("/home");
        const QString data = home + QStringLiteral("/share/KALMO!/Fax");
        QVERIFY(QDir().mkpath(data + u'/' + fax::kFolderComjob));
        const QString job = data + u'/' + fax::kFolderComjob + QStringLiteral("/09120005.FX3");
        QFile file(job);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SendJobBytes(QStringLiteral("/nowhere/_FX00009.SFF"), QStringLiteral("030 777"),
                                QStringLiteral("SFF"), 196, QStringLiteral("IMMED")));
        file.close();
        const time_t old = QDateTime::currentDateTime().addSecs(-300).toSecsSinceEpoch();
        const utimbuf times{old, old};
        QCOMPARE(::utime(QFile::encodeName(job).constData(), &times), 0);

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8")); // a German desktop
        run.setProcessEnvironment(env);
        run.start(qEnvironmentVariable("KALMOFAX"),
                  {QStringLiteral("run"), QStringLiteral("--once")});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(QFile::exists(data + QStringLiteral("/Reports/09120005.FX3.pdf")));
        Dunstctl({QStringLiteral("close-all")});
        QTRY_VERIFY(Dunstctl({QStringLiteral("history")}).contains("\"Fax abgewiesen\""));
        QVERIFY(Dunstctl({QStringLiteral("history")}).contains("An 030 777: the document"));
    }

    // Off, failures only, and a job waiting longer than the set minutes (told once; a job
    // due later is not waiting).
    void whatTheSettingsLetThrough() {
        RecordingNotifier notifier;
        FixedClock clock;
        const EndedJob sent = Ended(QStringLiteral("0301"), JobFiler::Outcome::Sent, {}, 1);
        const EndedJob cancelled =
            Ended(QStringLiteral("0301"), JobFiler::Outcome::Failed,
                  QStringLiteral("fax server job 9: Job aborted by request"), 0);
        NoticeSettings off;
        off.enabled = false;
        JobNotices(off, {}, {}, notifier, clock).JobFiled(cancelled);
        NoticeSettings failures;
        failures.failuresOnly = true;
        JobNotices onlyFailures(failures, {}, {}, notifier, clock);
        onlyFailures.JobFiled(sent);
        onlyFailures.JobFiled(cancelled);
        QCOMPARE(notifier.shown,
                 QStringList({"Fax cancelled|To 0301: the job was removed at the fax server."}));

        notifier.shown.clear();
        const QString data = m_dir.path() + QStringLiteral("/data");
        const QString comjob = data + u'/' + fax::kFolderComjob;
        QVERIFY(QDir().mkpath(comjob));
        const auto put = [&](const char* name, const QString& sendTime, int minutesAgo) {
            const QString path = comjob + u'/' + QString::fromLatin1(name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(SendJobBytes(QStringLiteral("/x.SFF"), QStringLiteral("+49 30 12345"),
                                    QStringLiteral("SFF"), 196, sendTime));
            file.close();
            const time_t at = clock.now.addSecs(-60 * minutesAgo).toSecsSinceEpoch();
            const utimbuf times{at, at};
            QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
        };
        put("09120000.FX3", QStringLiteral("IMMED"), 45);
        put("09120001.FX3", QStringLiteral("IMMED"), 10);
        put("09120002.FX3", clock.now.addSecs(3600).toString(QStringLiteral("yy-MM-dd-HH:mm")), 45);
        JobNotices waits({}, data, m_contacts, notifier, clock);
        waits.PassEnded();
        waits.PassEnded();
        JobNotices(NoticeSettings{}, data, m_contacts, notifier, clock).PassEnded(); // --once
        QCOMPARE(notifier.shown,
                 QStringList({"Fax waiting|To Erika Mustermann (+49 30 12345): waiting for the "
                              "fax server for 45 minutes."}));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(data + u'/' + JobNotices::kWaitRecord).constData(), &st),
                 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    // A fax that came in is told with its sender's name from the address book and its pages;
    // a damaged one and a poll that brought nothing also under "failures only".
    void arrivalsAreTold() {
        RecordingNotifier notifier;
        FixedClock clock;
        faxapp::ArrivedFax in;
        in.sender = QStringLiteral("+49 30 12345");
        in.pages = 3;
        faxapp::ArrivedFax damaged;
        damaged.kind = faxapp::ArrivedFax::Kind::Damaged;
        damaged.reason = QStringLiteral("page 1, row 5 does not decode");
        faxapp::ArrivedFax nothing;
        nothing.kind = faxapp::ArrivedFax::Kind::NothingPolled;
        nothing.jobFile = QStringLiteral("09120000.FX3");
        nothing.number = QStringLiteral("0301");
        JobNotices all({}, {}, m_contacts, notifier, clock);
        NoticeSettings failures;
        failures.failuresOnly = true;
        JobNotices onlyFailures(failures, {}, m_contacts, notifier, clock);
        for (JobNotices* notices : {&all, &onlyFailures})
            for (const auto* fax : {&in, &damaged, &nothing})
                notices->FaxArrived(*fax);
        const QStringList trouble = {
            "Damaged fax received|From an unknown sender: page 1, row 5 does not decode\nThe "
            "file was kept as it came.",
            "Poll without a document|Nothing was received from 0301."};
        QCOMPARE(
            notifier.shown,
            QStringList{"Fax received|3 pages received from Erika Mustermann (+49 30 12345)."} +
                trouble + trouble);
    }

private:
    std::unique_ptr<faxapp::WindowLanguage> m_language;
};

QTEST_MAIN(TestNotices)
#include "tst_notices.moc"
