// The company directories' profiles in the settings store: machine-wide then per user, value by
// value; the checks that keep unusable values from the LDAP library; the keyring key.

#include "TestRegistry.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/directory/DirectorySettings.h"

#include <QTest>

using namespace faxapp::directory;

namespace {

QString Key(const QString& tail) {
    return fax::SectionKey(fax::kSectionFax) + "\\Directories\\" + tail;
}

} // namespace

class TestDirectorySettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void machineThenUser();
    void defaultProfile();
    void writeReadsBack();
    void unusableValues_data();
    void unusableValues();
    void passwordKey();
};

void TestDirectorySettings::machineThenUser() {
    TestRegistry store;
    TestRegistry::Set(store.Machine(), Key("Office"), "Uris", "ldap://a ldaps://b:1636");
    TestRegistry::Set(store.Machine(), Key("Office"), "TimeLimit", "30");
    TestRegistry::Set(store.Machine(), Key("Office"), "Base", "dc=machine");
    TestRegistry::Set(store.User(), Key("office"), "Base", "dc=user");
    TestRegistry::Set(store.User(), Key("office"), "HomeFaxAttributes", " homePhone  pager ");
    TestRegistry::Set(store.Machine(), Key("Office\\Lists\\Sales"), "Filter", "(ou=sales)");
    TestRegistry::Set(store.User(), Key("Office\\Lists\\sales"), "Base", "ou=sales");
    TestRegistry::Set(store.User(), Key("Office\\Lists\\Berlin"), "Base", "l=Berlin");

    QCOMPARE(ListProfiles(store.registry()), QStringList{"Office"});
    const Result<DirectoryProfile> profile = ReadProfile(store.registry(), "OFFICE");
    QVERIFY(profile.Ok());
    QCOMPARE(profile->uris, (QStringList{"ldap://a", "ldaps://b:1636"}));
    QCOMPARE(profile->timeLimit, 30);
    QCOMPARE(profile->base, "dc=user");
    QVERIFY(profile->startTls);
    QCOMPARE(profile->bind, BindMethod::Anonymous);
    QCOMPARE(profile->nameAttributes, (QStringList{"displayName", "cn"}));
    QCOMPARE(profile->homeFaxAttributes, (QStringList{"homePhone", "pager"}));
    QCOMPARE(profile->lists.size(), 2);
    QCOMPARE(profile->lists.at(0).name, "Berlin");
    const auto sales = profile->List("SALES");
    QVERIFY(sales);
    QCOMPARE(sales->base, "ou=sales");
    QCOMPARE(sales->filter, "(ou=sales)");
    QCOMPARE(profile->DefaultFilter(),
             "(&(|(objectClass=person)(objectClass=inetOrgPerson))(|(facsimileTelephoneNumber=*)"
             "(otherFacsimileTelephoneNumber=*)(homePhone=*)(pager=*)))");
    QVERIFY(!ReadProfile(store.registry(), "Home").Ok());
}

void TestDirectorySettings::defaultProfile() {
    TestRegistry store;
    QCOMPARE(DefaultProfileName(store.registry()), QString());
    TestRegistry::Set(store.User(), Key("Zentrale"), "Uris", "ldap://z");
    TestRegistry::Set(store.Machine(), Key("Archiv"), "Uris", "ldap://a");
    QCOMPARE(DefaultProfileName(store.registry()), "Archiv");
    TestRegistry::Set(store.Machine(), fax::SectionKey(fax::kSectionFax), "DefaultDirectory",
                      "zentrale");
    QCOMPARE(DefaultProfileName(store.registry()), "Zentrale");
    // A default that names no profile falls back to the first.
    TestRegistry::Set(store.User(), fax::SectionKey(fax::kSectionFax), "DefaultDirectory", "x");
    QCOMPARE(DefaultProfileName(store.registry()), "Archiv");
}

void TestDirectorySettings::writeReadsBack() {
    TestRegistry store;
    DirectoryProfile profile = DefaultProfile("Office");
    profile.uris = {"ldaps://dc1.example.org", "ldaps://dc2.example.org"};
    profile.bind = BindMethod::Simple;
    profile.bindDn = "CN=Fax Reader,OU=Service,DC=example,DC=org";
    profile.startTls = false;
    profile.followReferrals = true;
    profile.lists = {{"Sales", "OU=Sales,DC=example,DC=org", "(department=Sales)"}};
    QVERIFY(WriteProfile(store.User(), profile).Ok());
    // Written again with fewer lists: the old list goes.
    profile.lists.clear();
    QVERIFY(WriteProfile(store.User(), profile).Ok());
    const Result<DirectoryProfile> read = ReadProfile(store.registry(), "Office");
    QVERIFY(read.Ok());
    QCOMPARE(read->uris, profile.uris);
    QCOMPARE(read->bind, BindMethod::Simple);
    QCOMPARE(read->bindDn, profile.bindDn);
    QVERIFY(!read->startTls);
    QVERIFY(read->followReferrals);
    QVERIFY(read->lists.isEmpty());
    QVERIFY(RemoveProfile(store.User(), "Office").Ok());
    QVERIFY(ListProfiles(store.registry()).isEmpty());
}

void TestDirectorySettings::unusableValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("no URI") << "Uris"
                            << "";
    QTest::newRow("http") << "Uris"
                          << "http://example.org";
    QTest::newRow("no host") << "Uris"
                             << "ldap://";
    QTest::newRow("bind") << "Bind"
                          << "kerberos";
    QTest::newRow("simple without DN") << "Bind"
                                       << "simple";
    QTest::newRow("DN") << "Base"
                        << "dc=example,,dc=org";
    QTest::newRow("control in DN") << "BindDn"
                                   << "cn=a\nb";
    QTest::newRow("time limit") << "TimeLimit"
                                << "0";
    QTest::newRow("time limit text") << "TimeLimit"
                                     << "soon";
    QTest::newRow("attribute") << "NameAttributes"
                               << "cn)(uid=*";
    QTest::newRow("list filter") << "Lists\\Sales\\Filter"
                                 << "(ou=sales)(ou=x)";
    QTest::newRow("list filter open") << "Lists\\Sales\\Filter"
                                      << "(&(ou=sales)";
}

void TestDirectorySettings::unusableValues() {
    QFETCH(QString, value);
    QFETCH(QString, text);
    TestRegistry store;
    TestRegistry::Set(store.User(), Key("Office"), "Uris", "ldap://example.org");
    const qsizetype split = value.lastIndexOf('\\');
    TestRegistry::Set(store.User(), Key("Office") + (split < 0 ? "" : "\\" + value.left(split)),
                      value.mid(split + 1), text);
    const Result<DirectoryProfile> profile = ReadProfile(store.registry(), "Office");
    QVERIFY(!profile.Ok());
    QCOMPARE(profile.Error().what, "Office");
}

void TestDirectorySettings::passwordKey() {
    DirectoryProfile profile = DefaultProfile("Office");
    profile.bindDn = "cn=reader,dc=example,dc=org";
    profile.uris = {"ldaps://dc1.example.org", "ldap://dc2.example.org:3389"};
    QCOMPARE(DirectoryPasswordKey(profile),
             "ldap://cn=reader,dc=example,dc=org@dc1.example.org:636");
    profile.uris = {"ldap://[::1]"};
    QCOMPARE(DirectoryPasswordKey(profile), "ldap://cn=reader,dc=example,dc=org@[::1]:389");
}

QTEST_GUILESS_MAIN(TestDirectorySettings)
#include "tst_directorysettings.moc"
