#include "app/SendTime.h"

#include <QTest>

class TestSendTime : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestSendTime::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // "" when rejected
    QTest::newRow("last accepted minute") << "31.12.2035 23:59"
                                          << "2035-12-31 23:59:00";
    QTest::newRow("year 2036 rejected") << "01.01.2036 00:00"
                                        << "";
    QTest::newRow("hour 24 rejected") << "24.12.2001 24:00"
                                      << "";
    QTest::newRow("year 1979 rejected") << "31.12.1979 23:59"
                                        << "";
    QTest::newRow("first accepted") << "01.01.1980 00:00"
                                    << "1980-01-01 00:00:00";
    QTest::newRow("separators not looked at") << "24/12/2001-18h30"
                                              << "2001-12-24 18:30:00";
    QTest::newRow("trailing text ignored") << "24.12.2001 18:30 Uhr"
                                           << "2001-12-24 18:30:00";
    QTest::newRow("too short") << "24.12.2001 18:3"
                               << "";
    QTest::newRow("minute 60") << "24.12.2001 18:60"
                               << "";
    QTest::newRow("month 13") << "24.13.2001 18:30"
                              << "";
    QTest::newRow("day 0") << "00.12.2001 18:30"
                           << "";
    QTest::newRow("letters read as 0") << "xx.12.2001 18:30"
                                       << "";
    QTest::newRow("single digit with blank") << " 5.01.2002 07:05"
                                             << "2002-01-05 07:05:00";
    QTest::newRow("31 February is no date") << "31.02.2001 12:00"
                                            << "";
}

void TestSendTime::parse() {
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const auto time = ParseSendTimeText(text);
    if (parsed.isEmpty()) {
        QVERIFY(!time);
        return;
    }
    QVERIFY(time);
    QCOMPARE(time->toString("yyyy-MM-dd HH:mm:ss"), parsed);
}

QTEST_APPLESS_MAIN(TestSendTime)
#include "tst_sendtime.moc"
