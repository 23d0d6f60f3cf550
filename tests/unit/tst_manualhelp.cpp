// Help: which page of the manual a help context opens, in which language, the order CHM viewer →
// manual in the browser → a problem naming the manual's place, and a manual that holds every
// page the programs open, in both languages.

#include "platform/HelpViewer.h"
#include "platform/ManualHelp.h"

#include "RecordingUrlOpener.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

class AnsweringHelp final : public HelpViewer {
public:
    bool HtmlHelp(const QString& file, int command, quint32 data) override {
        calls.append(QString("%1 %2 %3").arg(file).arg(command).arg(data, 0, 16));
        return answer;
    }
    QStringList calls;
    bool answer = false;
};

void WritePage(const QString& root, const QString& language, const QString& page) {
    QVERIFY(QDir(root).mkpath(language));
    QFile file(root + "/" + language + "/" + page + ".html");
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestManualHelp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pageForContext_data();
    void pageForContext();
    void languageFolder_data();
    void languageFolder();
    void showHelp_data();
    void showHelp();
    void environmentFolderAlone();
    void manualHasEveryPage_data();
    void manualHasEveryPage();
};

void TestManualHelp::pageForContext_data() {
    QTest::addColumn<uint>("context");
    QTest::addColumn<QString>("page");
    QTest::newRow("send dialog") << 0x2012Du << "send-dialog";
    QTest::newRow("options dialog") << 0x2012Fu << "options-dialog";
    QTest::newRow("the help file's own context") << 0x70010u << "index";
    QTest::newRow("about box, no page") << 0x20064u << "index";
    QTest::newRow("none") << 0u << "index";
}

void TestManualHelp::pageForContext() {
    QFETCH(uint, context);
    QFETCH(QString, page);
    QCOMPARE(manual::PageForContext(context), page);
}

void TestManualHelp::languageFolder_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("folder");
    QTest::newRow("no catalog") << ""
                                << "de";
    QTest::newRow("German") << "de"
                            << "de";
    QTest::newRow("German, upper case") << "DE_AT"
                                        << "de";
    QTest::newRow("English") << "en"
                             << "en";
    QTest::newRow("English code") << "EN"
                                  << "en";
    QTest::newRow("English of a country") << "en_GB"
                                          << "en";
    QTest::newRow("a third language") << "fr"
                                      << "en";
}

void TestManualHelp::languageFolder() {
    QFETCH(QString, language);
    QFETCH(QString, folder);
    QCOMPARE(manual::LanguageFolder(language), folder);
}

void TestManualHelp::showHelp_data() {
    QTest::addColumn<bool>("viewer");    // the CHM viewer shows the file
    QTest::addColumn<QString>("pages");  // pages the manual holds, "-" for no manual
    QTest::addColumn<bool>("browser");   // the browser starts
    QTest::addColumn<QString>("opened"); // the file opened, relative to the manual
    QTest::addColumn<QString>("where");  // the problem's what, "" for success; "@" the manual
    QTest::newRow("viewer first") << true << "en/options-dialog" << true << ""
                                  << "";
    QTest::newRow("manual page") << false << "en/options-dialog" << true << "en/options-dialog"
                                 << "";
    QTest::newRow("missing page: index") << false << "en/index" << true << "en/index"
                                         << "";
    QTest::newRow("other language only: none") << false << "de/options-dialog" << true << ""
                                               << "@";
    QTest::newRow("no manual") << false << "-" << true << ""
                               << "@";
    QTest::newRow("no browser") << false << "en/options-dialog" << false << "en/options-dialog"
                                << "en/options-dialog";
}

void TestManualHelp::showHelp() {
    QFETCH(bool, viewer);
    QFETCH(QString, pages);
    QFETCH(bool, browser);
    QFETCH(QString, opened);
    QFETCH(QString, where);
    QTemporaryDir root;
    const QString manualDir = root.filePath("manual");
    if (pages != "-")
        WritePage(manualDir, pages.section('/', 0, 0), pages.section('/', 1));
    AnsweringHelp chm;
    chm.answer = viewer;
    RecordingUrlOpener open;
    open.answer = browser;
    const HelpRequest request{"/opt/kalmo/KalmoFax.Chm", HelpViewer::HelpContext, 0x70010,
                              manual::kOptionsDialog, "en"};

    const Result<void> shown = ShowHelp(chm, open, {manualDir}, request);

    QCOMPARE(chm.calls, QStringList{"/opt/kalmo/KalmoFax.Chm 15 70010"});
    const QStringList expected =
        opened.isEmpty()
            ? QStringList()
            : QStringList{QUrl::fromLocalFile(manualDir + "/" + opened + ".html").toString()};
    QCOMPARE(open.opened, expected);
    QCOMPARE(shown.Ok(), where.isEmpty());
    if (where == "@")
        QCOMPARE(shown.Error().what, manualDir);
    else if (!where.isEmpty())
        QCOMPARE(shown.Error().what, manualDir + "/" + where + ".html");
}

// KALMO_MANUAL_DIR, set, is the only folder; unset, the installed ones and the build tree's.
void TestManualHelp::environmentFolderAlone() {
    const QByteArray old = qgetenv("KALMO_MANUAL_DIR");
    qputenv("KALMO_MANUAL_DIR", "/somewhere/manual");
    QCOMPARE(manual::Folders(), QStringList{"/somewhere/manual"});
    qunsetenv("KALMO_MANUAL_DIR");
    const QStringList folders = manual::Folders();
    qputenv("KALMO_MANUAL_DIR", old);
    QVERIFY(folders.contains(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                             "/../share/doc/kalmosend/manual")));
    // A program of this build tree finds the source tree's manual.
    QCOMPARE(
        manual::FindPage(folders, "de", "index"),
        QFileInfo(qEnvironmentVariable("KALMO_MANUAL_DIR") + "/de/index.html").absoluteFilePath());
}

void TestManualHelp::manualHasEveryPage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("page");
    for (const QString language : {"de", "en"}) {
        for (const QString& page : manual::Pages())
            QTest::newRow(qPrintable(language + "/" + page)) << language << page;
    }
}

// The manual the programs of this tree find (KALMO_MANUAL_DIR names the source tree's).
void TestManualHelp::manualHasEveryPage() {
    QFETCH(QString, language);
    QFETCH(QString, page);
    const QString path = manual::FindPage(manual::Folders(), language, page);
    QVERIFY2(!path.isEmpty(), qPrintable(language + "/" + page));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith("<!DOCTYPE html>"));
    QVERIFY(text.contains(QString("<html lang=\"%1\">").arg(language)));
    QVERIFY(text.contains("<title>") && text.contains("<h1>"));
    // Links within the manual lead to files that are there; nothing is fetched from outside.
    const QDir folder = QFileInfo(path).dir();
    static const QRegularExpression link(R"re((?:href|src)="([^"#]*))re");
    for (auto match = link.globalMatch(text); match.hasNext();) {
        const QString target = match.next().captured(1);
        QVERIFY2(!target.contains(':'), qPrintable(target));
        QVERIFY2(QFileInfo::exists(folder.filePath(target)), qPrintable(target));
    }
    QVERIFY(!text.contains("<script"));
}

QTEST_GUILESS_MAIN(TestManualHelp)
#include "tst_manualhelp.moc"
