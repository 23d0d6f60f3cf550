#include "TestRegistry.h"
#include "platform/RegistryStore.h"
#include "support/FileUtil.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <unistd.h>

class TestRegistryStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void absentIsNotEmpty();
    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void setNeedsKey();
    void integersAndText();
    void deleteValueAndKey();
    void takeValue();
    void transactionRollsBack();
    void readOnlyRoot();
    void missingFile();
    void newUserStoreIsPrivate();
    void permissionDeniedInWords();
    void subKeysAndValuesKeepSpelling();
    void twoProcessesTakeOnce();
};

void TestRegistryStore::absentIsNotEmpty() {
    TestRegistry r;
    const QString key = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";
    QVERIFY(!r.User().KeyExists(key));
    QVERIFY(!r.User().QueryValue(key, "DatenDir"));
    TestRegistry::Set(r.User(), key, "DatenDir", "");
    const auto value = r.User().QueryValue(key, "DatenDir");
    QVERIFY(value.has_value());
    QCOMPARE(value->text, QString());
    QVERIFY(r.User().KeyExists("Software\\ZEB"));     // created on the way
    QVERIFY(r.User().KeyExists("\\Software\\ZEB\\")); // separators at the ends do not count
}

void TestRegistryStore::namesIgnoreCase_data() {
    QTest::addColumn<QString>("writtenKey");
    QTest::addColumn<QString>("writtenName");
    QTest::addColumn<QString>("readKey");
    QTest::addColumn<QString>("readName");
    QTest::newRow("ascii") << "Software\\ZEB"
                           << "DatenDir"
                           << "SOFTWARE\\zeb"
                           << "datendir";
    QTest::newRow("umlauts") << "Software\\Übersicht"
                             << "Größe"
                             << "software\\üBERSICHT"
                             << "GRÖßE";
    QTest::newRow("unnamed value") << "A"
                                   << ""
                                   << "a"
                                   << "";
}

void TestRegistryStore::namesIgnoreCase() {
    QFETCH(QString, writtenKey);
    QFETCH(QString, writtenName);
    QFETCH(QString, readKey);
    QFETCH(QString, readName);
    TestRegistry r;
    TestRegistry::Set(r.User(), writtenKey, writtenName, "eins");
    QCOMPARE(r.User().QueryValue(readKey, readName)->text, QString("eins"));
    // Writing under the other spelling replaces the one value.
    QVERIFY(r.User().SetValue(readKey, readName, RegValue::FromText("zwei")));
    QCOMPARE(r.User().Values(writtenKey).size(), 1);
    QCOMPARE(r.User().Values(writtenKey).first().first, writtenName);
    QCOMPARE(r.User().QueryValue(writtenKey, writtenName)->text, QString("zwei"));
    QVERIFY(r.User().CreateKey(readKey));
}

void TestRegistryStore::setNeedsKey() {
    TestRegistry r;
    QVERIFY(!r.User().SetValue("Missing\\Key", "x", RegValue::FromText("1")));
    QVERIFY(!r.User().KeyExists("Missing"));
}

void TestRegistryStore::integersAndText() {
    TestRegistry r;
    QVERIFY(r.User().CreateKey("K"));
    QVERIFY(r.User().SetValue("K", "UseOutlook", RegValue::FromInteger(2)));
    QVERIFY(r.User().SetValue("K", "Text", RegValue::FromText(" 7 ")));
    QVERIFY(r.User().SetValue("K", "Word", RegValue::FromText("sieben")));
    QCOMPARE(r.User().QueryValue("K", "UseOutlook")->ToText(), QString("2"));
    QCOMPARE(r.User().QueryValue("K", "UseOutlook")->ToInteger(), std::optional<qint64>(2));
    QCOMPARE(r.User().QueryValue("K", "Text")->ToInteger(), std::optional<qint64>(7));
    QVERIFY(!r.User().QueryValue("K", "Word")->ToInteger());
}

void TestRegistryStore::deleteValueAndKey() {
    TestRegistry r;
    TestRegistry::Set(r.User(), "A\\B\\C", "v", "1");
    TestRegistry::Set(r.User(), "A\\B", "w", "2");
    TestRegistry::Set(r.User(), "A\\B2", "x", "3"); // a sibling whose name extends B's
    QVERIFY(r.User().DeleteValue("a\\b", "W"));
    QVERIFY(!r.User().DeleteValue("a\\b", "W"));
    QVERIFY(r.User().DeleteKey("A\\B"));
    QVERIFY(!r.User().KeyExists("A\\B\\C"));
    QVERIFY(!r.User().QueryValue("A\\B\\C", "v"));
    QVERIFY(r.User().KeyExists("A\\B2"));
    QCOMPARE(r.User().QueryValue("A\\B2", "x")->text, QString("3"));
    QVERIFY(!r.User().DeleteKey("A\\B"));
    QVERIFY(!r.User().DeleteKey(""));
}

void TestRegistryStore::takeValue() {
    TestRegistry r;
    TestRegistry::Set(r.User(), "H", "Report", "123");
    QCOMPARE(r.User().TakeValue("h", "REPORT")->text, QString("123"));
    QVERIFY(!r.User().QueryValue("H", "Report"));
    QVERIFY(!r.User().TakeValue("H", "Report"));
    QVERIFY(r.User().KeyExists("H"));
}

void TestRegistryStore::transactionRollsBack() {
    TestRegistry r;
    TestRegistry::Set(r.User(), "K", "a", "old");
    QVERIFY(!r.User().Transaction([&] {
        r.User().DeleteKey("K");
        return false;
    }));
    QCOMPARE(r.User().QueryValue("K", "a")->text, QString("old"));
    // Nested: the inner failure rolls back the inner part only.
    QVERIFY(r.User().Transaction([&] {
        r.User().SetValue("K", "b", RegValue::FromText("kept"));
        r.User().Transaction([&] {
            r.User().SetValue("K", "c", RegValue::FromText("dropped"));
            return false;
        });
        return true;
    }));
    QVERIFY(r.User().QueryValue("K", "b"));
    QVERIFY(!r.User().QueryValue("K", "c"));
}

void TestRegistryStore::readOnlyRoot() {
    TestRegistry r;
    TestRegistry::Set(r.Machine(), "Software\\ZEB", "SystemDir", "/opt/kalmo");
    RegistryStore reader(r.MachineFile(), RegistryStore::Access::ReadOnly);
    QVERIFY(reader.IsOpen());
    QVERIFY(!reader.IsWritable());
    QCOMPARE(reader.QueryValue("software\\zeb", "systemdir")->text, QString("/opt/kalmo"));
    QVERIFY(!reader.SetValue("Software\\ZEB", "SystemDir", RegValue::FromText("x")));
    QVERIFY(!reader.CreateKey("New"));
    QVERIFY(!reader.DeleteKey("Software"));
    QVERIFY(!reader.TakeValue("Software\\ZEB", "SystemDir"));
    QCOMPARE(reader.QueryValue("Software\\ZEB", "SystemDir")->text, QString("/opt/kalmo"));
}

void TestRegistryStore::missingFile() {
    RegistryStore none("/nonexistent/dir/x.db", RegistryStore::Access::ReadOnly);
    QVERIFY(!none.IsOpen());
    QVERIFY(!none.KeyExists("A"));
    QVERIFY(!none.QueryValue("A", "b"));
    QVERIFY(none.SubKeys("").isEmpty());
}

// The user's store may hold the fax server's password: a new one is its owner's alone.
void TestRegistryStore::newUserStoreIsPrivate() {
    QTemporaryDir dir;
    const QString file = dir.filePath("sub/user.db");
    qputenv("KALMO_USER_REGISTRY", QFile::encodeName(file));
    {
        auto registry = Registry::OpenDefault();
        QVERIFY(registry->User().CreateKey("Software"));
    }
    qunsetenv("KALMO_USER_REGISTRY");
    const QFile::Permissions groupAndOthers = QFile::ReadGroup | QFile::WriteGroup |
                                              QFile::ExeGroup | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ExeOther;
    QVERIFY(QFile::permissions(file) & QFile::WriteOwner);
    QCOMPARE(QFile::permissions(file) & groupAndOthers, QFile::Permissions());
}

void TestRegistryStore::subKeysAndValuesKeepSpelling() {
    TestRegistry r;
    QVERIFY(r.User().CreateKey("Software\\VB and VBA Program Settings\\KALMO!fax\\Print"));
    QVERIFY(r.User().CreateKey("software\\vb and vba program settings\\kalmo!fax\\Sendtime"));
    QCOMPARE(r.User().SubKeys("Software\\VB and VBA Program Settings\\KALMO!fax"),
             (QStringList{"Print", "Sendtime"}));
    QCOMPARE(r.User().SubKeys(""), QStringList{"Software"});
}

void TestRegistryStore::twoProcessesTakeOnce() {
    TestRegistry r;
    const QString helper =
        QCoreApplication::applicationDirPath() + "/../common/registry_take_helper";
    QVERIFY2(QFile::exists(helper), qPrintable(helper));
    constexpr int kRounds = 20;
    constexpr int kProcesses = 4;
    for (int round = 0; round < kRounds; ++round) {
        TestRegistry::Set(r.User(), "Print", "Report", QString::number(round));
        QList<QProcess*> procs;
        for (int p = 0; p < kProcesses; ++p) {
            auto* proc = new QProcess(this);
            proc->start(helper, {r.UserFile(), "Print", "Report"});
            procs.append(proc);
        }
        int winners = 0;
        for (QProcess* proc : procs) {
            QVERIFY(proc->waitForFinished(30000));
            if (proc->exitCode() == 0) {
                ++winners;
                QCOMPARE(proc->readAllStandardOutput().trimmed(), QByteArray::number(round));
            } else {
                QCOMPARE(proc->exitCode(), 1);
            }
            delete proc;
        }
        QCOMPARE(winners, 1);
    }
}

// A store the user may not read is reported as such, not with SQLite's "unable to open".
void TestRegistryStore::permissionDeniedInWords() {
    TestRegistry r;
    TestRegistry::Set(r.Machine(), "Software\\ZEB", "SystemDir", "/opt/kalmo");
    const QString file = r.MachineFile();
    QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    // The folder may be entered by anyone: only the file is not readable.
    QVERIFY(QFile::setPermissions(r.Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ExeGroup | QFile::ExeOther));
    // Root reads every file: the store is opened as nobody then (real and effective user,
    // root kept as the saved one to come back to).
    const uid_t uid = ::geteuid();
    QVERIFY(uid != 0 || ::setresuid(65534, 65534, 0) == 0);
    QString error;
    {
        RegistryStore store(file, RegistryStore::Access::ReadOnly);
        error = store.OpenError();
    }
    QVERIFY(uid != 0 || ::setresuid(0, 0, 0) == 0);
    QCOMPARE(error, GetErrorText(EACCES));
}

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registry.moc"
