// kalmofax view as a program: --png writes every page of a print file and prints the page
// count; a file that cannot be shown ends with status 1 and a message naming it; started as
// Kalvw32.exe its first argument is the file.

#include "faxapp/pages/PrintPages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run Start(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    Run run;
    if (!p.waitForFinished(60000))
        return run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

} // namespace

class TestKalmofaxView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void examplePages();
    void unreadable_data();
    void unreadable();
    void startedAsViewer();

private:
    const QString m_kalmofax = qEnvironmentVariable("KALMOFAX");
    const QString m_example = qEnvironmentVariable("EXAMPLE_SFF");
};

void TestKalmofaxView::examplePages() {
    QTemporaryDir dir;
    const Run run = Start(m_kalmofax, {"view", "--png", dir.path(), m_example});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("2\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             (QStringList{"page-001.png", "page-002.png"}));
    faxapp::PrintPages pages;
    QVERIFY(pages.Open(m_example));
    const QImage second(dir.filePath("page-002.png"));
    QCOMPARE(second.convertToFormat(QImage::Format_Mono),
             pages.Page(1).convertToFormat(QImage::Format_Mono));
}

void TestKalmofaxView::unreadable_data() {
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("missing") << QByteArray() << QByteArray("No such file");
    QTest::newRow("sff without pages") << QByteArray("Sfff\x01\0\0\0\0\0\x14\0", 12) +
                                              QByteArray(8, '\0') + QByteArray("\xFE\x00", 2)
                                       << QByteArray("no pages");
    QTest::newRow("sff cut short")
        << QByteArray("Sfff\x01\0\0\0\0\0\x14\0", 12) + QByteArray(8, '\0') + "\xFE\x10\x01"
        << QByteArray("ends inside a record");
}

void TestKalmofaxView::unreadable() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("Fax 1.sff");
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const Run run = Start(m_kalmofax, {"view", "--png", dir.filePath("out"), path});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(path.toLocal8Bit() + ": ") && run.err.contains(message), run.err);
    // The window says so too, and ends with status 1 without showing a page.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALMOFAX_VIEW_PNG_DIR", dir.filePath("painted"));
    QCOMPARE(Start(m_kalmofax, {"view", path}, env).status, 1);
}

void TestKalmofaxView::startedAsViewer() {
    QTemporaryDir dir;
    const QString viewer = dir.filePath("Kalvw32.exe");
    QVERIFY(QFile::link(m_kalmofax, viewer));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALMOFAX_VIEW_PNG_DIR", dir.filePath("painted"));
    const Run run = Start(viewer, {m_example}, env);
    QCOMPARE(run.status, 0);
    faxapp::PrintPages pages;
    QVERIFY(pages.Open(m_example));
    QCOMPARE(QImage(dir.filePath("painted/page-001.png")).convertToFormat(QImage::Format_Mono),
             pages.Page(0).convertToFormat(QImage::Format_Mono));
}

QTEST_MAIN(TestKalmofaxView)
#include "tst_kalmofaxview.moc"
