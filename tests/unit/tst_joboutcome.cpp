// Texts fitted into a job file's line and the server's tag: cut between characters, never
// inside a surrogate pair, control characters as blanks.

#include "faxapp/sending/JobOutcome.h"

#include <QTest>

using faxapp::JobOutcome;

class TestJobOutcome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fit_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("fitted");
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two units
        QTest::newRow("emoji across the cut")
            << QString(99, u'a') + face << 100 << QString(99, u'a');
        QTest::newRow("emoji inside")
            << QString(98, u'a') + face << 100 << QString(98, u'a') + face;
        QTest::newRow("controls") << QString("Angebot\tvom\n1.") << 100
                                  << QString("Angebot vom 1.");
        QTest::newRow("short") << QString("  Brief ") << 3 << QString("B");
    }
    void fit() {
        QFETCH(QString, value);
        QFETCH(int, maxChars);
        QFETCH(QString, fitted);
        const QString result = JobOutcome::Fit(value, maxChars);
        QCOMPARE(result, fitted);
        QVERIFY(!result.isEmpty() && !result.back().isHighSurrogate());
    }
};

QTEST_GUILESS_MAIN(TestJobOutcome)
#include "tst_joboutcome.moc"
