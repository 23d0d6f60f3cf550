// A company directory of N people with a fax number (10,000 by default) in a private slapd
// (size limit 500, StartTLS with the run's own CA), listed in the same run:
//   (a) by ldapsearch: the same base, filter and attributes, pages of 500 (-E pr=500), over
//       StartTLS (-ZZ), output to a pipe this program reads and drops;
//   (b) by kalmofax's MAPI.Session over the bus, as kalmosend reads a whole source: create,
//       log on (connect, StartTLS, bind), the first address list, its entries (the paged
//       search), the bulk read of every entry (fax::kDispidReadAll), log off, release;
//   (c) with --walk, (b) entry by entry as the send dialog's connector walks it without the
//       bulk read: move, name, fields and the three numbers of every entry.
// Best of the rounds; the first activation of kalmofax happens before any timing.
//
//   bench_directory [--people N] [--rounds R] [--walk]
//
// Needs the private bus of bench/run-directory-bench, which names the settings store files
// (KALMO_USER_REGISTRY, KALMO_MACHINE_REGISTRY) this program fills in.

#include "PrivateSlapd.h"
#include "addressbook/MapiSession.h"
#include "fax/CdoContract.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/DBusAutomation.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double BestMs(int rounds, const std::function<qsizetype()>& run, qsizetype& count) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        count = run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

const QStringList kAttributes = {"displayName", "cn", "facsimileTelephoneNumber",
                                 "otherFacsimileTelephoneNumber", "homeFacsimileTelephoneNumber"};

// The filter kalmofax's default list searches with (the default attribute maps).
const QString kFilter =
    "(&(|(objectClass=person)(objectClass=inetOrgPerson))(|(facsimileTelephoneNumber=*)"
    "(otherFacsimileTelephoneNumber=*)(homeFacsimileTelephoneNumber=*)))";

qsizetype LdapSearch(const PrivateSlapd& slapd) {
    QProcess search;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LDAPTLS_CACERT", slapd.CaFile());
    env.insert("LDAPTLS_REQCERT", "demand");
    search.setProcessEnvironment(env);
    search.start("ldapsearch",
                 QStringList{"-x", "-ZZ", "-LLL", "-o", "ldif-wrap=no", "-E", "pr=500/noprompt",
                             "-H", slapd.Uri(), "-b", PrivateSlapd::kSuffix, kFilter}
                     << kAttributes);
    qsizetype entries = 0;
    while (search.state() != QProcess::NotRunning || search.bytesAvailable() > 0) {
        search.waitForReadyRead(1000);
        while (search.canReadLine())
            if (search.readLine().startsWith("dn:"))
                ++entries;
    }
    search.waitForFinished();
    if (search.exitCode() != 0)
        std::fprintf(stderr, "ldapsearch: %s\n", search.readAllStandardError().constData());
    return entries;
}

// The parts of the last bulk read: log-on, the list's entries (the paged search and the sort),
// the bulk read (building, sending and splitting the lines).
struct Parts {
    double logon = 0, entries = 0, readAll = 0;
};
Parts g_last, g_best;

qsizetype BulkRead(DBusAutomationClient& automation) {
    QElapsedTimer timer;
    timer.start();
    CreateFailure failure;
    const DispatchPtr session = automation.CreateInstance(fax::kProgIdMapiSession, failure);
    if (!session) {
        std::fprintf(stderr, "MAPI.Session: %s\n", qPrintable(failure.text));
        return 0;
    }
    session->Invoke(cdo::kSessionLogon, InvokeKind::Method, {AutoVariant::BStr("Bench")});
    g_last.logon = double(timer.nsecsElapsed()) / 1e6;
    const DispatchPtr lists =
        session->Invoke(cdo::kSessionAddressLists, InvokeKind::PropertyGet, {}).ToDispatch();
    const DispatchPtr list =
        lists->Invoke(cdo::kCollectionItem, InvokeKind::PropertyGet, {AutoVariant::I4(1)})
            .ToDispatch();
    const DispatchPtr entries =
        list->Invoke(cdo::kListEntries, InvokeKind::PropertyGet, {}).ToDispatch();
    g_last.entries = double(timer.nsecsElapsed()) / 1e6 - g_last.logon;
    const QString lines = entries->Invoke(fax::kDispidReadAll, InvokeKind::Method, {}).ToBStr();
    const qsizetype count = fax::ParseEntryLines(lines, 4).size();
    g_last.readAll = double(timer.nsecsElapsed()) / 1e6 - g_last.logon - g_last.entries;
    session->Invoke(cdo::kSessionLogoff, InvokeKind::Method, {});
    return count;
}

qsizetype Walk(DBusAutomationClient& automation) {
    MapiSession connector;
    if (connector.Logon(automation, "Bench") != MapiSession::kLoggedOn ||
        connector.OpenAddressList({}) != MapiSession::kOpened)
        return 0;
    qsizetype count = 0;
    for (QString name = connector.GetFirstEntryName(); !name.isEmpty();
         name = connector.GetNextEntryName()) {
        for (const qint32 tag : {cdo::kPrimaryFax, cdo::kBusinessFax, cdo::kHomeFax})
            connector.GetEntryField(tag);
        ++count;
    }
    connector.Logoff();
    return count;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int people = 10000;
    int rounds = 5;
    bool walk = false;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == "--people" && i + 1 < args.size())
            people = args.at(++i).toInt();
        else if (args.at(i) == "--rounds" && i + 1 < args.size())
            rounds = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == "--walk")
            walk = true;
        else {
            std::fprintf(stderr, "usage: bench_directory [--people N] [--rounds R] [--walk]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("KALMO_USER_REGISTRY")) {
        std::fprintf(stderr, "bench_directory: run it through bench/run-directory-bench\n");
        return 2;
    }

    PrivateSlapd slapd;
    QElapsedTimer started;
    started.start();
    if (const QString error = slapd.Start(people); !error.isEmpty()) {
        std::fprintf(stderr, "slapd: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("slapd with %d people (slapadd, start): %lld ms\n", people, started.elapsed());

    Registry::CreateUserFile(Registry::DefaultUserFile());
    RegistryStore user(Registry::DefaultUserFile(), RegistryStore::Access::ReadWrite);
    const QString key = fax::SectionKey(fax::kSectionFax) + "\\Directories\\Bench";
    user.CreateKey(key);
    user.SetValue(key, "Uris", RegValue::FromText(slapd.Uri()));
    user.SetValue(key, "CaFile", RegValue::FromText(slapd.CaFile()));

    DBusAutomationClient automation;
    automation.SetTimeout(60000);
    if (!automation.Initialise() || BulkRead(automation) != people) {
        std::fprintf(stderr, "bench_directory: kalmofax's MAPI.Session does not list %d people\n",
                     people);
        return 1;
    }
    qsizetype found = 0;
    const double search = BestMs(
        rounds, [&] { return LdapSearch(slapd); }, found);
    std::printf("(a) ldapsearch, pages of 500, StartTLS:        %9.1f ms  (%lld entries)\n", search,
                static_cast<long long>(found));
    double bestTotal = 1e300;
    const double bulk = BestMs(
        rounds,
        [&] {
            const qsizetype count = BulkRead(automation);
            const double total = g_last.logon + g_last.entries + g_last.readAll;
            if (total < bestTotal) {
                bestTotal = total;
                g_best = g_last;
            }
            return count;
        },
        found);
    std::printf("(b) kalmofax MAPI.Session over D-Bus, bulk:   %9.1f ms  (%lld entries)\n", bulk,
                static_cast<long long>(found));
    std::printf("    of it: log-on %.1f ms, entries (search, sort) %.1f ms, bulk read %.1f ms\n",
                g_best.logon, g_best.entries, g_best.readAll);
    std::printf("    (b) / (a) = %.2f\n", bulk / search);
    if (walk) {
        const double walked = BestMs(
            1, [&] { return Walk(automation); }, found);
        std::printf("(c) the same entry by entry (10 calls each):  %9.1f ms  (%lld entries)\n",
                    walked, static_cast<long long>(found));
    }
    return 0;
}
