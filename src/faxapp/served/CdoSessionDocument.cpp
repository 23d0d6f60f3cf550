#include "fax/CdoContract.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "faxapp/directory/LdapDirectory.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>

namespace faxapp {

namespace {

using namespace faxapp::directory;

constexpr qint32 kNotFound = static_cast<qint32>(0x8004010Fu);     // MAPI_E_NOT_FOUND
constexpr qint32 kLogonFailed = static_cast<qint32>(0x80040111u);  // MAPI_E_LOGON_FAILED
constexpr qint32 kNetworkError = static_cast<qint32>(0x80040115u); // MAPI_E_NETWORK_ERROR
constexpr qint32 kNotLoggedOn = static_cast<qint32>(0x80040605u);  // CDO: not logged on

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::Directory", text);
}

void Expect(InvokeKind kind, InvokeKind wanted) {
    if (kind != wanted)
        dbusauto::ThrowError(dbusauto::kMemberNotFound);
}

using SharedDirectory = std::shared_ptr<LdapDirectory>;
using SharedEntries = std::shared_ptr<const QList<DirectoryEntry>>;

class Field final : public DispatchObject {
public:
    explicit Field(QString value) : m_value(std::move(value)) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        if (dispid != cdo::kFieldValue)
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        Expect(kind, InvokeKind::PropertyGet);
        dbusauto::ExpectArgs(args, {});
        return AutoVariant::BStr(m_value);
    }

private:
    QString m_value;
};

// The three fax numbers of an entry, by MAPI property tag; a number the entry lacks reads as
// an empty text.
class Fields final : public DispatchObject {
public:
    Fields(SharedEntries entries, qsizetype index)
        : m_entries(std::move(entries)), m_index(index) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        if (dispid != cdo::kCollectionItem)
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        Expect(kind, InvokeKind::PropertyGet);
        dbusauto::ExpectArgs(args, {VT_I4});
        const DirectoryEntry& entry = m_entries->at(m_index);
        switch (args.constFirst().ToI4()) {
        case cdo::kPrimaryFax:
            return AutoVariant::Dispatch(std::make_shared<Field>(entry.primaryFax));
        case cdo::kBusinessFax:
            return AutoVariant::Dispatch(std::make_shared<Field>(entry.businessFax));
        case cdo::kHomeFax:
            return AutoVariant::Dispatch(std::make_shared<Field>(entry.homeFax));
        default:
            dbusauto::ThrowError(
                kNotFound, Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                                "Das Verzeichnis liefert dieses Feld nicht.")));
        }
    }

private:
    SharedEntries m_entries;
    qsizetype m_index;
};

class Entry final : public DispatchObject {
public:
    Entry(SharedEntries entries, qsizetype index) : m_entries(std::move(entries)), m_index(index) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        Expect(kind, InvokeKind::PropertyGet);
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case cdo::kEntryName:
            return AutoVariant::BStr(m_entries->at(m_index).name);
        case cdo::kEntryFields:
            return AutoVariant::Dispatch(std::make_shared<Fields>(m_entries, m_index));
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    SharedEntries m_entries;
    qsizetype m_index;
};

// The entries of a list, read from the directory when the list's entries were asked for.
class EntriesCollection final : public DispatchObject {
public:
    explicit EntriesCollection(SharedEntries entries) : m_entries(std::move(entries)) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case cdo::kCollectionCount:
            Expect(kind, InvokeKind::PropertyGet);
            return AutoVariant::I4(static_cast<qint32>(m_entries->size()));
        case cdo::kEntriesGetFirst:
        case cdo::kEntriesGetNext:
            Expect(kind, InvokeKind::Method);
            m_cursor = dispid == cdo::kEntriesGetFirst ? 0 : m_cursor + 1;
            if (m_cursor >= m_entries->size()) {
                m_cursor = m_entries->size();
                return AutoVariant::Dispatch(nullptr);
            }
            return AutoVariant::Dispatch(std::make_shared<Entry>(m_entries, m_cursor));
        case fax::kDispidReadAll: {
            Expect(kind, InvokeKind::Method);
            QString lines;
            lines.reserve(m_entries->size() * 64);
            for (const DirectoryEntry& entry : *m_entries)
                fax::AppendEntryLine(
                    lines, {entry.name, entry.primaryFax, entry.businessFax, entry.homeFax});
            return AutoVariant::BStr(lines);
        }
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    SharedEntries m_entries;
    qsizetype m_cursor = -1;
};

class AddressList final : public DispatchObject {
public:
    AddressList(SharedDirectory directory, QString name)
        : m_directory(std::move(directory)), m_name(std::move(name)) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        Expect(kind, InvokeKind::PropertyGet);
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case cdo::kEntryName:
            return AutoVariant::BStr(m_name.isEmpty() ? m_directory->Profile().name : m_name);
        case cdo::kListEntries: {
            Result<QList<DirectoryEntry>> entries = m_directory->ReadList(m_name);
            if (!entries)
                dbusauto::ThrowError(kNetworkError, entries.Error().Text());
            return AutoVariant::Dispatch(std::make_shared<EntriesCollection>(
                std::make_shared<const QList<DirectoryEntry>>(std::move(*entries))));
        }
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    SharedDirectory m_directory;
    QString m_name; // empty: the default list
};

// Index 1 (and the empty name) is the default list, the people with a fax number; the
// profile's named lists follow by name.
class AddressLists final : public DispatchObject {
public:
    explicit AddressLists(SharedDirectory directory) : m_directory(std::move(directory)) {}
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        Expect(kind, InvokeKind::PropertyGet);
        const QList<AddressListSettings>& lists = m_directory->Profile().lists;
        switch (dispid) {
        case cdo::kCollectionCount:
            dbusauto::ExpectArgs(args, {});
            return AutoVariant::I4(static_cast<qint32>(lists.size() + 1));
        case cdo::kCollectionItem: {
            if (args.size() != 1)
                dbusauto::ThrowError(dbusauto::kBadParamCount);
            const AutoVariant& which = args.constFirst();
            if (which.Type() == VT_BSTR) {
                const QString name = which.ToBStr();
                if (name.isEmpty())
                    return List({});
                if (const auto list = m_directory->Profile().List(name))
                    return List(list->name);
                dbusauto::ThrowError(
                    kNotFound, Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                                    "Das Verzeichnis hat keine Adressliste %1."))
                                   .arg(name));
            }
            const qint32 index = which.ToI4();
            if (index < 1 || index > lists.size() + 1)
                dbusauto::ThrowError(
                    kNotFound, Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                                    "Das Verzeichnis hat keine Adressliste %1."))
                                   .arg(index));
            return List(index == 1 ? QString() : lists.at(index - 2).name);
        }
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    AutoVariant List(const QString& name) {
        return AutoVariant::Dispatch(std::make_shared<AddressList>(m_directory, name));
    }

    SharedDirectory m_directory;
};

// MAPI.Session over a company directory: the log-on connects and binds with the profile of
// that name (the settings are read at every log-on), the address lists search it.
class DirectorySession final : public DispatchObject {
public:
    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        switch (dispid) {
        case cdo::kSessionLogon:
            Expect(kind, InvokeKind::Method);
            if (args.size() > 1)
                dbusauto::ThrowError(dbusauto::kBadParamCount);
            Logon(args.isEmpty() ? QString() : args.constFirst().ToBStr());
            return AutoVariant::I4(0);
        case cdo::kSessionLogoff:
            Expect(kind, InvokeKind::Method);
            m_directory.reset();
            return AutoVariant::I4(0);
        case cdo::kSessionAddressLists:
            Expect(kind, InvokeKind::PropertyGet);
            if (!m_directory)
                dbusauto::ThrowError(kNotLoggedOn,
                                     Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                                          "Die Sitzung ist nicht angemeldet.")));
            return AutoVariant::Dispatch(std::make_shared<AddressLists>(m_directory));
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    void Logon(QString profileName) {
        m_directory.reset();
        auto registry = Registry::OpenDefault();
        if (profileName.trimmed().isEmpty())
            profileName = DefaultProfileName(*registry);
        if (profileName.isEmpty())
            dbusauto::ThrowError(
                kLogonFailed,
                Tr(QT_TRANSLATE_NOOP(
                    "faxapp::Directory",
                    "Es ist kein Firmenverzeichnis eingerichtet (kalmofax directory add).")));
        Result<DirectoryProfile> profile = ReadProfile(*registry, profileName);
        if (!profile)
            dbusauto::ThrowError(kLogonFailed, profile.Error().Text());
        Result<QString> password = ReadDirectoryPassword(*profile);
        if (!password)
            dbusauto::ThrowError(kLogonFailed, password.Error().Text());
        auto connected = LdapDirectory::Connect(*profile, *password);
        if (!connected)
            dbusauto::ThrowError(kLogonFailed, connected.Error().Text());
        m_directory = std::move(*connected);
    }

    SharedDirectory m_directory;
};

} // namespace

dbusauto::ServedClass DirectorySessionClass() {
    return {fax::kProgIdMapiSession, [] { return std::make_shared<DirectorySession>(); }};
}

} // namespace faxapp
