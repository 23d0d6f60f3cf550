// The own address book from a vCard folder of N one-contact files (10,000 by default):
//   (a) the files alone: listing the folder, opening and reading every byte;
//   (b) ContactFolder::ReadAll, the files parsed as contacts;
//   (c) the whole enumeration as kalmosend runs it over D-Bus against kalmofax's
//       KalmoAdr.Document: create, DISPID 2, DISPID 4 and 3 for every entry, DISPID 1, release;
//   (d) the bus calls of (c) alone: (c) without its DISPID 2, the one call that reads the
//       folder (that call is shown as well).
// The target is (c) within 1.5 times (a) + (d). Best of the rounds, page cache warm.
//
//   bench_addressbook [--contacts N] [--rounds R]
//
// (c) and (d) need the private bus of bench/run-addressbook-bench, which names the settings
// store files (KALMO_USER_REGISTRY, KALMO_MACHINE_REGISTRY) this program fills in.

#include "fax/FaxContract.h"
#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/sending/FaxSettings.h"
#include "platform/DBusAutomation.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double BestMs(int rounds, const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Three versions in turn, names in no order, one fax and one voice number each.
QByteArray CardOf(int i) {
    const QByteArray name = "Kontakt " + QByteArray::number((i * 7919) % 100003);
    const QByteArray fax = "+49 30 " + QByteArray::number(100000 + i);
    switch (i % 3) {
    case 0:
        return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name + ";\r\nFN:" + name +
               "\r\nTEL;WORK;FAX:" + fax + "\r\nTEL;WORK;VOICE:+49 30 1\r\nEND:VCARD\r\n";
    case 1:
        return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + QByteArray::number(i) + "\r\nFN:" + name +
               "\r\nN:" + name + ";;;;\r\nTEL;TYPE=WORK,FAX:" + fax +
               "\r\nTEL;TYPE=VOICE:+49 30 1\r\nEND:VCARD\r\n";
    default:
        return "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:" + QByteArray::number(i) +
               "\r\nFN:" + name + "\r\nTEL;TYPE=\"fax,work\";VALUE=uri:tel:" + fax +
               "\r\nTEL;TYPE=voice;VALUE=uri:tel:+49-30-1\r\nEND:VCARD\r\n";
    }
}

bool WriteSettings(const QString& contactsDir, const QString& dataDir) {
    const QString user = qEnvironmentVariable("KALMO_USER_REGISTRY");
    const QString machine = qEnvironmentVariable("KALMO_MACHINE_REGISTRY");
    if (user.isEmpty() || machine.isEmpty())
        return false;
    RegistryStore(machine, RegistryStore::Access::ReadWrite); // an empty machine store
    RegistryStore store(user, RegistryStore::Access::ReadWrite);
    const QString key = QStringLiteral("Software\\") + fax::kRegistryCompany + u'\\' +
                        fax::kProfileName + u'\\' + fax::kSectionFax;
    return store.CreateKey(key) &&
           store.SetValue(key, faxapp::kValueContactsDir, RegValue::FromText(contactsDir)) &&
           store.SetValue(key, fax::kValueDataDir, RegValue::FromText(dataDir));
}

// One refresh of the send dialog's list; the number of entries read. openMs: the DISPID 2.
int Enumerate(DBusAutomationClient& client, double& openMs) {
    CreateFailure failure;
    const DispatchPtr book = client.CreateInstance(fax::kProgIdAddressBook, failure);
    if (!book)
        return -1;
    const auto call = [&](int dispid, const AutoVariant& arg) {
        return book->Invoke(dispid, InvokeKind::Method, {arg});
    };
    QElapsedTimer timer;
    timer.start();
    const AutoVariant handle =
        AutoVariant::I4(call(2, AutoVariant::BStr(QStringLiteral("Fax"))).ToI4());
    openMs = double(timer.nsecsElapsed()) / 1e6;
    if (handle.ToI4() == 0)
        return 0;
    int entries = 0;
    do {
        entries += call(4, handle).ToBStr().contains(u'\n') ? 1 : 0;
    } while (call(3, handle).ToI4() != 0);
    call(1, handle);
    return entries;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int contacts = 10000;
    int rounds = 3;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == u"--contacts")
            contacts = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == u"--rounds")
            rounds = std::max(1, args.at(i + 1).toInt());
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("contacts"));
    QDir().mkpath(folder);
    for (int i = 0; i < contacts; ++i) {
        QFile file(folder + QStringLiteral("/c%1.vcf").arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(CardOf(i)) < 0)
            return std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName())), 1;
    }

    qint64 bytes = 0;
    const double readMs = BestMs(rounds, [&] {
        bytes = 0;
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.vcf")}, QDir::Files)) {
            QFile file(folder + u'/' + name);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
    });
    qsizetype read = 0;
    const double parseMs =
        BestMs(rounds, [&] { read = faxapp::ContactFolder(folder).ReadAll().contacts.size(); });
    std::printf("%d files, %lld bytes\n", contacts, static_cast<long long>(bytes));
    std::printf("(a) files read:             %9.1f ms\n", readMs);
    std::printf("(b) ContactFolder::ReadAll: %9.1f ms (%lld contacts, %.2f x (a))\n", parseMs,
                static_cast<long long>(read), parseMs / readMs);

    if (!WriteSettings(folder, dir.filePath(QStringLiteral("data")))) {
        std::printf("(c), (d): no settings store named; run bench/run-addressbook-bench\n");
        return 0;
    }
    DBusAutomationClient client;
    double warmUp = 0;
    if (!client.Initialise() || Enumerate(client, warmUp) != contacts) // starts kalmofax
        return std::fprintf(stderr, "the enumeration over D-Bus failed\n"), 1;
    int entries = 0;
    double busMs = 1e300;
    double openMs = 0;
    for (int i = 0; i < rounds; ++i) {
        double open = 0;
        QElapsedTimer timer;
        timer.start();
        entries = Enumerate(client, open);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (ms < busMs)
            busMs = ms, openMs = open;
    }
    const double callsMs = busMs - openMs;
    std::printf("(c) enumeration over D-Bus: %9.1f ms (%d entries, %d calls)\n", busMs, entries,
                2 * contacts + 2);
    std::printf("    of which DISPID 2:      %9.1f ms (folder read, parsed, sorted)\n", openMs);
    std::printf("(d) the other bus calls:    %9.1f ms\n", callsMs);
    std::printf("(c) / ((a) + (d)) = %.2f (target <= 1.5)\n", busMs / (readMs + callsMs));
    return 0;
}
