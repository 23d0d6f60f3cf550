#include "AddressDocument.h"

#include "Server.h"
#include "fax/EntryLines.h"
#include "platform/DBusAutomation.h"

#include <QFile>
#include <QHash>
#include <QStringList>

namespace standin {

namespace {

constexpr int kDispidClose = 1;
constexpr int kDispidOpen = 2;
constexpr int kDispidNext = 3;
constexpr int kDispidCurrent = 4;

// The entries of the file as the address book delivers them: one a line (a carriage return
// before the line feed is dropped), every tab a line feed. No file, no entries.
QStringList ReadEntries() {
    QFile file(qEnvironmentVariable("KALMO_STANDIN_ADDRESSBOOK"));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (lines.constLast().isEmpty())
        lines.removeLast(); // the line feed that ends the last line
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line.replace(u'\t', u'\n');
    }
    return lines;
}

// The file named by KALMO_STANDIN_ADDRESSBOOK_ERROR_FILE, when it has a line
// "<dispid> <n> XXXXXXXX: text": the n-th call of that DISPID on an object fails with that code
// and text. Read at every call, so that a test changes it between refreshes.
void FailIfScripted(int dispid, int count) {
    QFile file(qEnvironmentVariable("KALMO_STANDIN_ADDRESSBOOK_ERROR_FILE"));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QString script = QString::fromUtf8(file.readLine()).trimmed();
    const QStringList parts = script.split(u' ');
    if (parts.size() < 3 || parts.at(0).toInt() != dispid || parts.at(1).toInt() != count)
        return;
    const QString error = script.section(u' ', 2);
    const qsizetype colon = error.indexOf(u':');
    bool ok = false;
    const quint32 code = error.left(colon).toUInt(&ok, 16);
    if (colon < 0 || !ok)
        ThrowError(scode::kException, error);
    ThrowError(static_cast<qint32>(code), error.mid(colon + 1).trimmed());
}

class AddressDocument final : public DispatchObject {
public:
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        const QString calls = qEnvironmentVariable("KALMO_STANDIN_ADDRESSBOOK_CALLS");
        if (!calls.isEmpty())
            AppendToFile(calls, CallLine(dispid, kind, args) + u'\n');
        if (kind != InvokeKind::Method)
            ThrowError(dbusauto::kMemberNotFound);
        const int count = ++m_calls[dispid];

        switch (dispid) {
        case fax::kDispidReadAll: {
            if (!ReadAllOffered())
                ThrowError(dbusauto::kMemberNotFound);
            ExpectArgs(args, {VT_BSTR});
            WaitWhileHeld();
            FailIfScripted(dispid, count);
            // The per-entry texts as lines: a line feed inside an entry separates its fields.
            QString lines;
            if (args.constFirst().ToBStr() == u"Fax")
                for (const QString& entry : ReadEntries())
                    fax::AppendEntryLine(lines, entry.split(u'\n'));
            return AutoVariant::BStr(lines);
        }
        case kDispidOpen: {
            ExpectArgs(args, {VT_BSTR});
            WaitWhileHeld();
            FailIfScripted(dispid, count);
            QStringList entries = ReadEntries();
            if (args.constFirst().ToBStr() != u"Fax" || entries.isEmpty())
                return AutoVariant::I4(0);
            const qint32 handle = ++m_lastHandle;
            m_open.insert(handle, {std::move(entries), 0, handle});
            return AutoVariant::I4(handle);
        }
        case kDispidCurrent: {
            Enumeration& open = Find(args);
            FailIfScripted(dispid, count);
            return AutoVariant::BStr(open.entries.value(open.current));
        }
        case kDispidNext: {
            Enumeration& open = Find(args);
            FailIfScripted(dispid, count);
            if (open.current + 1 >= open.entries.size())
                return AutoVariant::I4(0);
            ++open.current;
            return AutoVariant::I4(1);
        }
        case kDispidClose: {
            const qint32 handle = Find(args).handle;
            FailIfScripted(dispid, count);
            m_open.remove(handle);
            return {};
        }
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    struct Enumeration {
        QStringList entries;
        qsizetype current = 0;
        qint32 handle = 0;
    };

    Enumeration& Find(const QList<AutoVariant>& args) {
        ExpectArgs(args, {VT_I4});
        const qint32 handle = args.constFirst().ToI4();
        const auto it = m_open.find(handle);
        if (it == m_open.end())
            ThrowError(scode::kException,
                       QStringLiteral("KalmoAdr: no enumeration %1").arg(handle));
        return *it;
    }

    QHash<qint32, Enumeration> m_open;
    QHash<int, int> m_calls;
    qint32 m_lastHandle = 0;
};

} // namespace

DispatchPtr MakeAddressDocument() {
    return std::make_shared<AddressDocument>();
}

} // namespace standin
