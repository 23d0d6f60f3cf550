#include "OutlookApplication.h"

#include "AddressData.h"
#include "Server.h"
#include "fax/EntryLines.h"
#include "platform/DBusAutomation.h"

#include <QJsonArray>
#include <QJsonObject>

namespace standin {

namespace {

constexpr const char* kDataVariable = "KALMO_STANDIN_OUTLOOK";
constexpr const char* kLogVariable = "KALMO_STANDIN_OUTLOOK_LOG";

constexpr int kGetNamespace = 0x110;
constexpr int kFolders = 0x2103;
constexpr int kGetDefaultFolder = 0x210B;
constexpr int kGetFirst = 0x56;
constexpr int kGetNext = 0x57;
constexpr int kCount = 0x50;
constexpr int kName = 0x3001;
constexpr int kDefaultItemType = 0x3106;
constexpr int kItems = 0x3100;
constexpr int kHomeFax = 0x3A25;
constexpr int kBusinessFax = 0x3A24;
constexpr int kContactsFolder = 10;

constexpr qint32 kNotFound = static_cast<qint32>(0x8004010Fu);

// Each object knows its JSON node and the name it goes by in the call log.
class OutlookObject : public DataObject {
public:
    OutlookObject(QJsonObject node, QString logName)
        : DataObject(kLogVariable, std::move(node), std::move(logName)) {}
};

// Folders or items of a node, walked by GetFirst and GetNext.
class Collection final : public OutlookObject {
public:
    Collection(QJsonObject owner, QString role, QString logName)
        : OutlookObject(std::move(owner), std::move(logName)), m_role(std::move(role)) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, m_role, dispid);
        const QJsonArray members = m_node.value(m_role).toArray();
        switch (dispid) {
        case kGetFirst:
        case kGetNext:
            Expect(kind, InvokeKind::Method);
            ExpectArgs(args, {});
            m_cursor = dispid == kGetFirst ? 0 : m_cursor + 1;
            if (m_cursor >= members.size())
                return AutoVariant::Dispatch(nullptr);
            return AutoVariant::Dispatch(Member(members.at(m_cursor).toObject()));
        case kCount:
            Expect(kind, InvokeKind::PropertyGet);
            return AutoVariant::I4(static_cast<qint32>(members.size()));
        case fax::kDispidReadAll:
            if (m_role != u"items" || !ReadAllOffered())
                ThrowError(dbusauto::kMemberNotFound);
            Expect(kind, InvokeKind::Method);
            ExpectArgs(args, {});
            return AutoVariant::BStr(ItemLines(members));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    DispatchPtr Member(const QJsonObject& node) const;

    // The items as lines of name, business and home fax; an item's scripted failure of one of
    // these members fails the whole call, as it ends the walk.
    static QString ItemLines(const QJsonArray& items) {
        QString lines;
        for (const auto& value : items) {
            const QJsonObject item = value.toObject();
            for (const int member : {kName, kHomeFax, kBusinessFax})
                FailIfScripted(item, QString(), member);
            const auto text = [&item](const char* key) {
                return item.value(QLatin1String(key)).toString();
            };
            fax::AppendEntryLine(lines, {text("name"), text("business"), text("home")});
        }
        return lines;
    }

    QString m_role; // "folders" or "items"
    qsizetype m_cursor = -1;
};

class Item final : public OutlookObject {
public:
    explicit Item(const QJsonObject& node)
        : OutlookObject(node,
                        QStringLiteral("item:") + node.value(QLatin1String("name")).toString()) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QString(), dispid);
        Expect(kind, InvokeKind::PropertyGet);
        ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return Text(QStringLiteral("name"));
        case kHomeFax:
            return Text(QStringLiteral("home"));
        case kBusinessFax:
            return Text(QStringLiteral("business"));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    AutoVariant Text(const QString& key) const {
        return AutoVariant::BStr(m_node.value(key).toString());
    }
};

class Folder final : public OutlookObject {
public:
    explicit Folder(const QJsonObject& node)
        : OutlookObject(node, QStringLiteral("folder:") + Name(node)) {}

    static QString Name(const QJsonObject& node) {
        return node.value(QLatin1String("name")).toString();
    }

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QString(), dispid);
        Expect(kind, InvokeKind::PropertyGet);
        ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(Name(m_node));
        case kDefaultItemType:
            return AutoVariant::I4(m_node.value(QLatin1String("kind")).toInt());
        case kFolders:
            return AutoVariant::Dispatch(std::make_shared<Collection>(
                m_node, QStringLiteral("folders"), QStringLiteral("folders:") + Name(m_node)));
        case kItems:
            return AutoVariant::Dispatch(std::make_shared<Collection>(
                m_node, QStringLiteral("items"), QStringLiteral("items:") + Name(m_node)));
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

DispatchPtr Collection::Member(const QJsonObject& node) const {
    if (m_role == u"items")
        return std::make_shared<Item>(node);
    return std::make_shared<Folder>(node);
}

// The namespace shares the data file's top level with the application.
class Namespace final : public OutlookObject {
public:
    explicit Namespace(QJsonObject root)
        : OutlookObject(std::move(root), QStringLiteral("namespace")) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("namespace"), dispid);
        switch (dispid) {
        case kFolders:
            Expect(kind, InvokeKind::PropertyGet);
            ExpectArgs(args, {});
            return AutoVariant::Dispatch(std::make_shared<Collection>(
                m_node, QStringLiteral("folders"), QStringLiteral("folders:")));
        case kGetDefaultFolder: {
            Expect(kind, InvokeKind::Method);
            ExpectArgs(args, {VT_I4});
            const QJsonValue folder = m_node.value(QLatin1String("default"));
            if (args.constFirst().ToI4() != kContactsFolder || !folder.isObject())
                ThrowError(kNotFound, QStringLiteral("There is no default folder of kind %1.")
                                          .arg(args.constFirst().ToI4()));
            return AutoVariant::Dispatch(std::make_shared<Folder>(folder.toObject()));
        }
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }
};

class Application final : public OutlookObject {
public:
    explicit Application(QJsonObject root)
        : OutlookObject(std::move(root), QStringLiteral("application")) {}

protected:
    AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        FailIfScripted(m_node, QStringLiteral("application"), dispid);
        if (dispid != kGetNamespace)
            ThrowError(dbusauto::kMemberNotFound);
        Expect(kind, InvokeKind::Method);
        ExpectArgs(args, {VT_BSTR});
        if (args.constFirst().ToBStr() != u"MAPI")
            ThrowError(kNotFound,
                       QStringLiteral("No namespace %1.").arg(args.constFirst().ToBStr()));
        return AutoVariant::Dispatch(std::make_shared<Namespace>(m_node));
    }
};

} // namespace

DispatchPtr MakeOutlookApplication() {
    const QJsonObject root = LoadAddressData(kDataVariable);
    LogEvent(kLogVariable, QStringLiteral("application"), QStringLiteral("create"));
    const QString createError = root.value(QLatin1String("createError")).toString();
    if (!createError.isEmpty())
        ThrowScripted(createError);
    return std::make_shared<Application>(root);
}

} // namespace standin
