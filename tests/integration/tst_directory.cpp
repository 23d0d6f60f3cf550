// MAPI.Session over a company directory: a private slapd with 10,000 people with a fax number
// and a size limit of 500, read through kalmofax's served class, over the bus (started by
// D-Bus activation as on a desktop) and in this process through the class's Invoke.

#include "DBusTestBus.h"
#include "PrivateKeyring.h"
#include "PrivateSlapd.h"
#include "TestRegistry.h"
#include "addressbook/MapiSession.h"
#include "fax/CdoContract.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/directory/LdapDirectory.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"
#include "platform/secrets/SecretStore.h"

#include <QCollator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace faxapp::directory;

namespace {

constexpr int kPeople = 10000;

QString ProfileKey(const QString& name) {
    return fax::SectionKey(fax::kSectionFax) + "\\Directories\\" + name;
}

// Calls through a served object, in this process or over the bus.
AutoVariant Get(const DispatchPtr& object, int dispid, const QList<AutoVariant>& args = {}) {
    return object->Invoke(dispid, InvokeKind::PropertyGet, args);
}
AutoVariant Call(const DispatchPtr& object, int dispid, const QList<AutoVariant>& args = {}) {
    return object->Invoke(dispid, InvokeKind::Method, args);
}

// The automation error text of a log-on with the profile; empty when it succeeds.
QString LogonError(const DispatchPtr& session, const QString& profile) {
    try {
        Call(session, cdo::kSessionLogon, {AutoVariant::BStr(profile)});
        return {};
    } catch (const AutomationError& error) {
        return error.text.isEmpty() ? QStringLiteral("(no text)") : error.text;
    }
}

// The entries of the default list (index 1) as lines of the bulk read.
QList<QStringList> ReadDefaultList(const DispatchPtr& session) {
    const DispatchPtr lists = Get(session, cdo::kSessionAddressLists).ToDispatch();
    const DispatchPtr list = Get(lists, cdo::kCollectionItem, {AutoVariant::I4(1)}).ToDispatch();
    const DispatchPtr entries = Get(list, cdo::kListEntries).ToDispatch();
    const qint32 count = Get(entries, cdo::kCollectionCount).ToI4();
    QList<QStringList> lines = fax::ParseEntryLines(Call(entries, fax::kDispidReadAll).ToBStr(), 4);
    if (lines.size() != count)
        lines.append({QStringLiteral("count %1 differs").arg(count)});
    return lines;
}

// QVERIFY2 builds its message whether the check holds or not.
template <typename T> QString Why(const Result<T>& result) {
    return result.Ok() ? QString() : result.Error().Text();
}

} // namespace

class TestDirectoryLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void wholeDirectoryOverTheBus();
    void namedListThroughTheSendDialogsConnector();
    void certificates();
    void simpleBind();
    void failOver();
    void administratorsCommand();
    void stoppedServer();

private:
    void SetProfile(RegistryStore& store, const QString& name,
                    const QList<QPair<QString, QString>>& values);

    PrivateSlapd m_slapd;
    PrivateKeyring m_keyring;
    TestRegistry m_registry;
};

void TestDirectoryLists::SetProfile(RegistryStore& store, const QString& name,
                                    const QList<QPair<QString, QString>>& values) {
    for (const auto& [value, text] : values)
        TestRegistry::Set(store, ProfileKey(name), value, text);
}

void TestDirectoryLists::initTestCase() {
    QElapsedTimer started;
    started.start();
    const QString error = m_slapd.Start(kPeople);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    qInfo("slapd with %d people ready in %lld ms", kPeople, started.elapsed());
    const QString keyring = m_keyring.Start();
    QVERIFY2(keyring.isEmpty(), qPrintable(keyring));

    // "Office": the URI machine-wide, the certificate and the attribute maps per user.
    SetProfile(m_registry.Machine(), "Office",
               {{"Uris", m_slapd.Uri()}, {"CaFile", "/nonexistent/ca.pem"}});
    SetProfile(m_registry.User(), "Office",
               {{"CaFile", m_slapd.CaFile()},
                {"BusinessFaxAttributes", "otherFacsimileTelephoneNumber telephoneNumber"},
                {"HomeFaxAttributes", "homePhone"}});
    TestRegistry::Set(m_registry.User(), ProfileKey("Office") + "\\Lists\\Sales", "Base",
                      "ou=sales," + PrivateSlapd::kSuffix);
    TestRegistry::Set(m_registry.User(), ProfileKey("Office") + "\\Lists\\Sales", "Filter",
                      "(objectClass=inetOrgPerson)");
    TestRegistry::Set(m_registry.Machine(), fax::SectionKey(fax::kSectionFax), "DefaultDirectory",
                      "office");
    // Sorted before "Office": the default must come from DefaultDirectory, not the order.
    SetProfile(m_registry.User(), "Archive", {{"Uris", "ldap://127.0.0.1:1"}});

    qputenv("KALMO_USER_REGISTRY", m_registry.UserFile().toLocal8Bit());
    qputenv("KALMO_MACHINE_REGISTRY", m_registry.MachineFile().toLocal8Bit());
    QVERIFY(
        dbustest::SetActivationEnvironment({{"KALMO_USER_REGISTRY", m_registry.UserFile()},
                                            {"KALMO_MACHINE_REGISTRY", m_registry.MachineFile()},
                                            {"LC_ALL", "de_DE.UTF-8"}}));
}

// All 10,000 through kalmofax serve MAPI.Session, in one bulk read: every page of the server's
// 500, sorted by name as German sorts, with the numbers of the attribute maps.
void TestDirectoryLists::wholeDirectoryOverTheBus() {
    DBusAutomationClient automation;
    QVERIFY(automation.Initialise());
    CreateFailure failure;
    const DispatchPtr session = automation.CreateInstance(fax::kProgIdMapiSession, failure);
    QVERIFY2(session, qPrintable(failure.text));
    // No profile named: DefaultDirectory ("office", in another letter case).
    Call(session, cdo::kSessionLogon);
    const DispatchPtr lists = Get(session, cdo::kSessionAddressLists).ToDispatch();
    QCOMPARE(Get(lists, cdo::kCollectionCount).ToI4(), 2);

    // The server's limit is real: a search without pages ends at 500 ("Size limit exceeded").
    QProcess plain;
    plain.start("ldapsearch", {"-x", "-LLL", "-H", m_slapd.Uri(), "-b", PrivateSlapd::kSuffix,
                               "(facsimileTelephoneNumber=*)", "1.1"});
    QVERIFY(plain.waitForFinished(30000));
    QCOMPARE(plain.exitCode(), 4);

    QElapsedTimer timer;
    timer.start();
    const QList<QStringList> entries = ReadDefaultList(session);
    qInfo("10,000 entries over the bus in %lld ms", timer.elapsed());
    QCOMPARE(entries.size(), kPeople);

    QCollator german{QLocale(QLocale::German, QLocale::Germany)};
    QStringList names;
    for (const QStringList& entry : entries)
        names.append(entry.at(0));
    QVERIFY(std::is_sorted(names.cbegin(), names.cend(), [&](const QString& a, const QString& b) {
        return german.compare(a, b) < 0;
    }));
    // "Ärger" with the A's, not after "Zander".
    QVERIFY(names.indexOf(PrivateSlapd::PersonName(1)) <
            names.indexOf(PrivateSlapd::PersonName(5)));
    QVERIFY(names.indexOf(PrivateSlapd::PersonName(1)) <
            names.indexOf(PrivateSlapd::PersonName(0)));
    QCOMPARE(names.count(u"Sales 07"), 1);
    QVERIFY(!names.contains(u"No Fax 3"));
    QVERIFY(!names.contains(u"Sales without fax"));
    const auto person = [&](int i) {
        return entries.at(names.indexOf(PrivateSlapd::PersonName(i)));
    };
    QCOMPARE(person(30), (QStringList{PrivateSlapd::PersonName(30), "+49 30 100030", "+49 30 230",
                                      "+49 30 330"}));
    QCOMPARE(person(31), (QStringList{PrivateSlapd::PersonName(31), "+49 30 100031", "", ""}));
    Call(session, cdo::kSessionLogoff);
}

// The send dialog's connector, entry by entry: a list of its own base and filter (people of
// ou=sales, with a fax or not), by name.
void TestDirectoryLists::namedListThroughTheSendDialogsConnector() {
    DBusAutomationClient automation;
    MapiSession connector;
    QCOMPARE(connector.Logon(automation, "Office"), int(MapiSession::kLoggedOn));
    QCOMPARE(connector.OpenAddressList("sales"), int(MapiSession::kOpened));
    QCOMPARE(connector.EntryCount(), PrivateSlapd::kSalesWithFax + 1);
    QStringList rows;
    for (QString name = connector.GetFirstEntryName(); !name.isEmpty();
         name = connector.GetNextEntryName())
        rows << name + '|' + connector.GetEntryField(cdo::kPrimaryFax) + '|' +
                    connector.GetEntryField(cdo::kHomeFax);
    QCOMPARE(rows.size(), PrivateSlapd::kSalesWithFax + 1);
    QCOMPARE(rows.first(), "Sales 00|+49 40 0|");
    QCOMPARE(rows.last(), "Sales without fax||");
    QCOMPARE(connector.ErrorCode(), 0);

    QCOMPARE(connector.OpenAddressList("Marketing"), int(MapiSession::kReadError));
    QVERIFY2(connector.ErrorText().contains("Marketing"), qPrintable(connector.ErrorText()));
    connector.Logoff();
    // A profile that does not exist is a refused log-on, with its name.
    QCOMPARE(connector.Logon(automation, "Nowhere"), int(MapiSession::kRefused));
    QVERIFY2(connector.ErrorText().contains("Nowhere"), qPrintable(connector.ErrorText()));
}

// StartTLS and ldaps:// check the server's certificate: the test's CA is trusted, another CA's
// is not, and the refusal says it is the certificate.
void TestDirectoryLists::certificates() {
    SetProfile(m_registry.User(), "Tls",
               {{"Uris", m_slapd.LdapsUri()}, {"CaFile", m_slapd.CaFile()}});
    SetProfile(m_registry.User(), "WrongCa",
               {{"Uris", m_slapd.Uri()}, {"CaFile", m_slapd.OtherCaFile()}});
    SetProfile(m_registry.User(), "WrongCaLdaps",
               {{"Uris", m_slapd.LdapsUri()}, {"CaFile", m_slapd.OtherCaFile()}});
    const DispatchPtr session = faxapp::DirectorySessionClass().create();
    QCOMPARE(LogonError(session, "Tls"), QString());
    QCOMPARE(ReadDefaultList(session).size(), kPeople);
    for (const char* profile : {"WrongCa", "WrongCaLdaps"}) {
        const QString error = LogonError(session, profile);
        QVERIFY2(error.contains("Zertifikat"), qPrintable(error));
        QVERIFY2(error.contains("127.0.0.1"), qPrintable(error));
    }
    // StartTLS off: plain LDAP, as the administrator chose.
    SetProfile(m_registry.User(), "Plain",
               {{"Uris", m_slapd.Uri()}, {"StartTls", "0"}, {"CaFile", m_slapd.OtherCaFile()}});
    QCOMPARE(LogonError(session, "Plain"), QString());
}

// A simple bind with the password of the keyring; a wrong one in the directory's words.
void TestDirectoryLists::simpleBind() {
    SetProfile(m_registry.User(), "Reader",
               {{"Uris", m_slapd.Uri()},
                {"CaFile", m_slapd.CaFile()},
                {"Bind", "simple"},
                {"BindDn", PrivateSlapd::kReaderDn}});
    const Result<DirectoryProfile> profile = ReadProfile(m_registry.registry(), "Reader");
    QVERIFY2(profile.Ok(), qPrintable(Why(profile)));
    const QString key = DirectoryPasswordKey(*profile);
    QCOMPARE(
        key,
        QStringLiteral("ldap://%1@127.0.0.1:%2").arg(PrivateSlapd::kReaderDn).arg(m_slapd.Port()));
    const DispatchPtr session = faxapp::DirectorySessionClass().create();
    QVERIFY(secrets::DeleteSecret(key).Ok());
    QVERIFY2(LogonError(session, "Reader").contains("Schlüsselbund"),
             qPrintable(LogonError(session, "Reader")));

    QVERIFY(secrets::WriteSecret(key, PrivateSlapd::kReaderPassword).Ok());
    QCOMPARE(LogonError(session, "Reader"), QString());
    const Result<QString> summary = TestDirectory(m_registry.registry(), "Reader");
    QVERIFY2(summary.Ok(), qPrintable(Why(summary)));
    QVERIFY2(summary->contains(PrivateSlapd::kReaderDn) && summary->contains("10000"),
             qPrintable(*summary));

    QVERIFY(secrets::WriteSecret(key, "wrong").Ok());
    const QString error = LogonError(session, "Reader");
    QVERIFY2(error.contains("Invalid credentials"), qPrintable(error));
    // A refused session has no lists.
    QVERIFY_THROWS_EXCEPTION(AutomationError, Get(session, cdo::kSessionAddressLists));
}

// A port that takes connections and never answers: the time limit ends the wait.
class SilentServer {
public:
    SilentServer() : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_fd, 8) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    QString Uri() const { return QStringLiteral("ldap://127.0.0.1:%1").arg(m_port); }

private:
    int m_fd;
    quint16 m_port = 0;
};

// Servers are tried in order: one that is down, or does not answer within the time limit, is
// passed over; when none answers, each one's reason is told.
void TestDirectoryLists::failOver() {
    SilentServer silent;
    SetProfile(m_registry.User(), "Silent", {{"Uris", silent.Uri()}, {"TimeLimit", "1"}});
    const DispatchPtr silentSession = faxapp::DirectorySessionClass().create();
    QElapsedTimer waited;
    waited.start();
    const QString timedOut = LogonError(silentSession, "Silent");
    QVERIFY2(timedOut.contains("Timed out") && timedOut.contains(silent.Uri()),
             qPrintable(timedOut));
    QVERIFY(waited.elapsed() < 5000);

    const QString down = QStringLiteral("ldap://127.0.0.1:%1").arg(PrivateSlapd::FreePort());
    SetProfile(m_registry.User(), "Twice",
               {{"Uris", down + "  " + silent.Uri() + " " + m_slapd.Uri()},
                {"CaFile", m_slapd.CaFile()},
                {"TimeLimit", "1"}});
    const DispatchPtr session = faxapp::DirectorySessionClass().create();
    QCOMPARE(LogonError(session, "Twice"), QString());
    QCOMPARE(ReadDefaultList(session).size(), kPeople);
}

// kalmofax directory: add with the password from standard input into the keyring, list,
// test, remove.
void TestDirectoryLists::administratorsCommand() {
    const auto run = [](const QStringList& args, const QByteArray& input = {}) {
        QProcess kalmofax;
        kalmofax.start(qEnvironmentVariable("KALMOFAX"), QStringList{"directory"} << args);
        kalmofax.write(input);
        kalmofax.closeWriteChannel();
        kalmofax.waitForFinished(60000);
        return QPair<int, QString>(kalmofax.exitCode(),
                                   QString::fromLocal8Bit(kalmofax.readAllStandardOutput() +
                                                          kalmofax.readAllStandardError()));
    };
    const auto added = run({"add", "Cli", "--uri", m_slapd.Uri(), "--ca-file", m_slapd.CaFile(),
                            "--bind", "simple", "--bind-dn", PrivateSlapd::kReaderDn},
                           PrivateSlapd::kReaderPassword.toUtf8() + "\n");
    QVERIFY2(added.first == 0, qPrintable(added.second));
    QVERIFY(run({"list"}).second.contains("Cli\t" + m_slapd.Uri() + "\tsimple"));
    const auto tested = run({"test", "Cli"});
    QVERIFY2(tested.first == 0 && tested.second.contains("10000") &&
                 tested.second.contains(PrivateSlapd::kReaderDn),
             qPrintable(tested.second));
    // A URI that is no LDAP URI is refused before it reaches the store.
    const auto bad = run({"add", "Bad", "--uri", "http://127.0.0.1/"});
    QVERIFY2(bad.first == 1 && bad.second.contains("Uris"), qPrintable(bad.second));
    QCOMPARE(run({"remove", "Cli"}).first, 0);
    QVERIFY(!ListProfiles(m_registry.registry()).contains("Cli"));
    QVERIFY(!run({"list"}).second.contains("Cli"));
}

// A server that goes away: the list read of a session logged on before, and the next log-on,
// fail with the library's words.
void TestDirectoryLists::stoppedServer() {
    const DispatchPtr session = faxapp::DirectorySessionClass().create();
    QCOMPARE(LogonError(session, "Office"), QString());
    m_slapd.Stop();
    try {
        ReadDefaultList(session);
        QFAIL("a stopped server gave a list");
    } catch (const AutomationError& error) {
        QVERIFY2(error.text.contains("Can't contact LDAP server"), qPrintable(error.text));
    }
    const QString error = LogonError(session, "Office");
    QVERIFY2(error.contains("Can't contact LDAP server") && error.contains(m_slapd.Uri()),
             qPrintable(error));
}

QTEST_GUILESS_MAIN(TestDirectoryLists)
#include "tst_directory.moc"
