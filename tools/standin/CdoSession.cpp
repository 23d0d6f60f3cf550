#include "CdoSession.h"

#include "AddressData.h"
#include "Server.h"
#include "fax/EntryLines.h"
#include "platform/DBusAutomation.h"

#include <QJsonArray>
#include <QJsonObject>

namespace standin {

namespace {

constexpr const char* kDataVariable = "KALMO_STANDIN_MAPI";
constexpr const char* kLogVariable = "KALMO_STANDIN_MAPI_LOG";

constexpr int kAddressLists = 4;
constexpr int kLogoff = 118;
constexpr int kLogon = 119;
constexpr int kCount = 9;
constexpr int kItem = 21;
constexpr int kEntries = 3;
constexpr int kGetFirst = 109;
constexpr int kGetNext = 111;
constexpr int kName = 23;
constexpr int kFields = 12;
constexpr int kValue = 43;

constexpr qint32 kPrimaryFax = 0x3A23001E;
constexpr qint32 kBusinessFax = 0x3A24001E;
constexpr qint32 kHomeFax = 0x3A25001E;

constexpr qint32 kNotFound = static_cast<qint32>(0x8004010Fu);       // MAPI_E_NOT_FOUND
constexpr qint32 kLogonFailed = static_cast<qint32>(0x80040111u);    // MAPI_E_LOGON_FAILED
constexpr qint32 kNotInitialised = static_cast<qint32>(0x80040605u); // not logged on

QString TagKey(qint32 tag) {
    return QStringLiteral("0x") + QString::number(static_cast<quint32>(tag), 16).toUpper();
}

class CdoObject : public DataObject {
public:
    CdoObject(QJsonObject node, QString logName)
        : DataObject(kLogVariable, std::move(node), std::move(logName)) {}
};

QString NameOf(const QJsonObject& node) {
    return node.value(QLatin1String("name")).toString();
}

class Field final : public CdoObject {
public:
    Field(QJsonObject entry, QString value, const QString& logName)
        : CdoObject(std::move(entry), logName), m_value(std::move(value)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("field"), dispid);
        if (dispid != kValue)
            ThrowError(dbusauto::kMemberNotFound);
        Expect(kind, InvokeKind::PropertyGet);
        ExpectArgs(args, {});
        return AutoVariant::BStr(m_value);
    }

private:
    QString m_value;
};

// The fields of an entry, by MAPI property tag; a tag the entry lacks is not found.
class Fields final : public CdoObject {
public:
    explicit Fields(const QJsonObject& entry)
        : CdoObject(entry, QStringLiteral("fields:") + NameOf(entry)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("fields"), dispid);
        const QJsonObject fields = m_node.value(QLatin1String("fields")).toObject();
        switch (dispid) {
        case kCount:
            Expect(kind, InvokeKind::PropertyGet);
            return AutoVariant::I4(static_cast<qint32>(fields.size()));
        case kItem: {
            Expect(kind, InvokeKind::PropertyGet);
            ExpectArgs(args, {VT_I4});
            const qint32 tag = args.constFirst().ToI4();
            for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
                bool ok = false;
                if (static_cast<qint32>(it.key().toUInt(&ok, 0)) == tag && ok)
                    return AutoVariant::Dispatch(std::make_shared<Field>(
                        m_node, it.value().toString(),
                        QStringLiteral("field:%1:%2").arg(NameOf(m_node), TagKey(tag))));
            }
            ThrowError(kNotFound, QStringLiteral("The entry has no field %1.").arg(TagKey(tag)));
        }
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

class Entry final : public CdoObject {
public:
    explicit Entry(const QJsonObject& node)
        : CdoObject(node, QStringLiteral("entry:") + NameOf(node)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QString(), dispid);
        Expect(kind, InvokeKind::PropertyGet);
        ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(NameOf(m_node));
        case kFields:
            return AutoVariant::Dispatch(std::make_shared<Fields>(m_node));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

class EntriesCollection final : public CdoObject {
public:
    explicit EntriesCollection(const QJsonObject& list)
        : CdoObject(list, QStringLiteral("entries:") + NameOf(list)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("entries"), dispid);
        const QJsonArray entries = m_node.value(QLatin1String("entries")).toArray();
        switch (dispid) {
        case kCount:
            Expect(kind, InvokeKind::PropertyGet);
            // A list may claim another count than it holds, as a server can.
            return AutoVariant::I4(m_node.contains(QLatin1String("count"))
                                       ? m_node.value(QLatin1String("count")).toInt()
                                       : static_cast<qint32>(entries.size()));
        case kGetFirst:
        case kGetNext:
            Expect(kind, InvokeKind::Method);
            ExpectArgs(args, {});
            m_cursor = dispid == kGetFirst ? 0 : m_cursor + 1;
            if (m_cursor >= entries.size())
                return AutoVariant::Dispatch(nullptr);
            return AutoVariant::Dispatch(std::make_shared<Entry>(entries.at(m_cursor).toObject()));
        case fax::kDispidReadAll:
            if (!ReadAllOffered())
                ThrowError(dbusauto::kMemberNotFound);
            Expect(kind, InvokeKind::Method);
            ExpectArgs(args, {});
            return AutoVariant::BStr(EntryLines(entries));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    // The entries as lines of name, primary, business and home fax, read as the walk reads
    // them: a name that fails ends the list, a field that fails or is missing is empty.
    static QString EntryLines(const QJsonArray& entries) {
        QString lines;
        for (const auto& value : entries) {
            const QJsonObject entry = value.toObject();
            if (Fails(entry, QString(), kName))
                break;
            // Fetching the fields collection is not guarded in the walk either.
            FailIfScripted(entry, QString(), kFields);
            QStringList fields{NameOf(entry)};
            const QJsonObject values = entry.value(QLatin1String("fields")).toObject();
            for (const qint32 tag : {kPrimaryFax, kBusinessFax, kHomeFax}) {
                const bool fails = Fails(entry, QStringLiteral("fields"), kItem) ||
                                   Fails(entry, QStringLiteral("field"), kValue);
                QString text;
                for (auto it = values.constBegin(); !fails && it != values.constEnd(); ++it) {
                    bool ok = false;
                    if (static_cast<qint32>(it.key().toUInt(&ok, 0)) == tag && ok)
                        text = it.value().toString();
                }
                fields.append(text);
            }
            fax::AppendEntryLine(lines, fields);
        }
        return lines;
    }

    static bool Fails(const QJsonObject& node, const QString& role, int dispid) {
        try {
            FailIfScripted(node, role, dispid);
        } catch (const AutomationError&) {
            return true;
        }
        return false;
    }

    qsizetype m_cursor = -1;
};

class AddressList final : public CdoObject {
public:
    explicit AddressList(const QJsonObject& node)
        : CdoObject(node, QStringLiteral("list:") + NameOf(node)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QString(), dispid);
        Expect(kind, InvokeKind::PropertyGet);
        ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(NameOf(m_node));
        case kEntries:
            return AutoVariant::Dispatch(std::make_shared<EntriesCollection>(m_node));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

// The address lists, by name (exact) or by index from 1.
class AddressLists final : public CdoObject {
public:
    explicit AddressLists(QJsonObject root) : CdoObject(std::move(root), QStringLiteral("lists")) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("lists"), dispid);
        const QJsonArray lists = m_node.value(QLatin1String("lists")).toArray();
        switch (dispid) {
        case kCount:
            Expect(kind, InvokeKind::PropertyGet);
            return AutoVariant::I4(static_cast<qint32>(lists.size()));
        case kItem: {
            Expect(kind, InvokeKind::PropertyGet);
            if (args.size() != 1)
                ThrowError(dbusauto::kBadParamCount);
            const AutoVariant& which = args.constFirst();
            if (which.Type() == VT_BSTR) {
                for (const auto& list : lists) {
                    if (NameOf(list.toObject()) == which.ToBStr())
                        return AutoVariant::Dispatch(
                            std::make_shared<AddressList>(list.toObject()));
                }
                ThrowError(kNotFound,
                           QStringLiteral("There is no address list %1.").arg(which.ToBStr()));
            }
            const qint32 index = which.ToI4();
            if (index < 1 || index > lists.size())
                ThrowError(kNotFound, QStringLiteral("There is no address list %1.").arg(index));
            return AutoVariant::Dispatch(
                std::make_shared<AddressList>(lists.at(index - 1).toObject()));
        }
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

class Session final : public CdoObject {
public:
    Session() : CdoObject({}, QStringLiteral("session")) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        Expect(kind, dispid == kAddressLists ? InvokeKind::PropertyGet : InvokeKind::Method);
        switch (dispid) {
        case kLogon:
            Logon(args);
            return {};
        case kLogoff:
            FailIfScripted(m_node, QStringLiteral("session"), dispid);
            RequireLogon();
            m_loggedOn = false;
            return {};
        case kAddressLists:
            FailIfScripted(m_node, QStringLiteral("session"), dispid);
            RequireLogon();
            return AutoVariant::Dispatch(std::make_shared<AddressLists>(m_node));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    // The data is read at each log-on, so that a test changes it between refreshes.
    void Logon(const QList<AutoVariant>& args) {
        m_node = LoadAddressData(kDataVariable);
        m_loggedOn = false;
        FailIfScripted(m_node, QStringLiteral("session"), kLogon);
        if (args.size() > 1)
            ThrowError(dbusauto::kBadParamCount);
        const QString refusal = m_node.value(QLatin1String("logonError")).toString();
        if (!refusal.isEmpty())
            ThrowScripted(refusal);
        if (!args.isEmpty() && m_node.contains(QLatin1String("profiles"))) {
            const QString profile = args.constFirst().ToBStr();
            if (!m_node.value(QLatin1String("profiles")).toArray().contains(profile))
                ThrowError(kLogonFailed, QStringLiteral("There is no profile %1.").arg(profile));
        }
        m_loggedOn = true;
    }

    void RequireLogon() const {
        if (!m_loggedOn)
            ThrowError(kNotInitialised, QStringLiteral("The session is not logged on."));
    }

    bool m_loggedOn = false;
};

} // namespace

DispatchPtr MakeCdoSession() {
    const QJsonObject root = LoadAddressData(kDataVariable);
    LogEvent(kLogVariable, QStringLiteral("session"), QStringLiteral("create"));
    const QString createError = root.value(QLatin1String("createError")).toString();
    if (!createError.isEmpty())
        ThrowScripted(createError);
    return std::make_shared<Session>();
}

} // namespace standin
