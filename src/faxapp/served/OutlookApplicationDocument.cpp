#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "faxapp/carddav/BookService.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"

#include <QCoreApplication>

namespace faxapp {

namespace {

// The members kalmosend's contacts-folder reader calls, by DISPID.
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
constexpr int kContactsFolder = 10; // GetDefaultFolder's kind for contacts
constexpr int kMailItems = 0;       // an account's folder holds no contacts itself
constexpr int kContactItems = 2;

constexpr qint32 kNotFound = static_cast<qint32>(0x8004010Fu);

using carddav::BookService;
using Service = std::shared_ptr<BookService>;

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::CardDav", text);
}

class Item final : public DispatchObject {
public:
    explicit Item(carddav::CachedCard card) : m_card(std::move(card)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(m_card.name);
        case kBusinessFax:
            return AutoVariant::BStr(m_card.businessFax);
        case kHomeFax:
            return AutoVariant::BStr(m_card.homeFax);
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    carddav::CachedCard m_card;
};

// A book's contacts with a fax number, as the cache had them when the collection was made.
// Reaching the end of the walk gives the account's note instead, once, when one is due: the
// reader shows it with the rows read so far.
class Items final : public DispatchObject {
public:
    Items(Service service, QString account, QList<carddav::CachedCard> cards)
        : m_service(std::move(service)), m_account(std::move(account)), m_cards(std::move(cards)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case kGetFirst:
        case kGetNext:
            m_cursor = dispid == kGetFirst ? 0 : m_cursor + 1;
            if (m_cursor < m_cards.size())
                return AutoVariant::Dispatch(std::make_shared<Item>(m_cards.at(m_cursor)));
            if (m_service) {
                if (const QString note = m_service->TakeNote(m_account); !note.isEmpty())
                    dbusauto::ThrowError(scode::kException, note);
            }
            return AutoVariant::Dispatch(nullptr);
        case kCount:
            return AutoVariant::I4(qint32(m_cards.size()));
        case fax::kDispidReadAll: {
            // The one call has no room for the note that the list may be old: while one is
            // due, the reader is sent the old way, whose walk ends with it.
            if (m_service && m_service->NoteDue(m_account))
                dbusauto::ThrowError(dbusauto::kMemberNotFound);
            QString lines;
            for (const carddav::CachedCard& card : std::as_const(m_cards))
                fax::AppendEntryLine(lines, {card.name, card.businessFax, card.homeFax});
            return AutoVariant::BStr(lines);
        }
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    Service m_service;
    QString m_account;
    QList<carddav::CachedCard> m_cards;
    qsizetype m_cursor = -1;
};

class Folders final : public DispatchObject {
public:
    explicit Folders(QList<DispatchPtr> folders) : m_folders(std::move(folders)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case kGetFirst:
        case kGetNext:
            m_cursor = dispid == kGetFirst ? 0 : m_cursor + 1;
            return AutoVariant::Dispatch(m_cursor < m_folders.size() ? m_folders.at(m_cursor)
                                                                     : nullptr);
        case kCount:
            return AutoVariant::I4(qint32(m_folders.size()));
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    QList<DispatchPtr> m_folders;
    qsizetype m_cursor = -1;
};

// An address book: a contacts folder named by its display name.
class BookFolder final : public DispatchObject {
public:
    BookFolder(Service service, QString account, BookService::BookView book)
        : m_service(std::move(service)), m_account(std::move(account)), m_book(std::move(book)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(m_book.displayName);
        case kDefaultItemType:
            return AutoVariant::I4(kContactItems);
        case kFolders:
            return AutoVariant::Dispatch(std::make_shared<Folders>(QList<DispatchPtr>()));
        case kItems:
            return AutoVariant::Dispatch(std::make_shared<Items>(
                m_service, m_account, m_service->Cards(m_account, m_book.url)));
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    Service m_service;
    QString m_account;
    BookService::BookView m_book;
};

// An account: a folder named after it, its address books the sub-folders.
class AccountFolder final : public DispatchObject {
public:
    AccountFolder(Service service, BookService::AccountView account)
        : m_service(std::move(service)), m_account(std::move(account)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        dbusauto::ExpectArgs(args, {});
        switch (dispid) {
        case kName:
            return AutoVariant::BStr(m_account.name);
        case kDefaultItemType:
            return AutoVariant::I4(kMailItems);
        case kFolders: {
            QList<DispatchPtr> books;
            for (const BookService::BookView& book : std::as_const(m_account.books))
                books.append(std::make_shared<BookFolder>(m_service, m_account.name, book));
            return AutoVariant::Dispatch(std::make_shared<Folders>(books));
        }
        case kItems:
            return AutoVariant::Dispatch(
                std::make_shared<Items>(nullptr, QString(), QList<carddav::CachedCard>()));
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    Service m_service;
    BookService::AccountView m_account;
};

class Namespace final : public DispatchObject {
public:
    explicit Namespace(Service service) : m_service(std::move(service)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        switch (dispid) {
        case kFolders: {
            dbusauto::ExpectArgs(args, {});
            QList<DispatchPtr> accounts;
            for (BookService::AccountView& account : m_service->Accounts())
                accounts.append(std::make_shared<AccountFolder>(m_service, std::move(account)));
            return AutoVariant::Dispatch(std::make_shared<Folders>(accounts));
        }
        case kGetDefaultFolder: {
            dbusauto::ExpectArgs(args, {VT_I4});
            if (args.constFirst().ToI4() != kContactsFolder)
                dbusauto::ThrowError(
                    kNotFound, Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                                    "Es gibt keinen Standardordner der Art %1."))
                                   .arg(args.constFirst().ToI4()));
            return AutoVariant::Dispatch(DefaultBook());
        }
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    // The first account's first address book.
    DispatchPtr DefaultBook() {
        const QList<BookService::AccountView> accounts = m_service->Accounts();
        if (accounts.isEmpty())
            dbusauto::ThrowError(
                kNotFound, Tr(QT_TRANSLATE_NOOP(
                               "faxapp::CardDav",
                               "Es ist kein CardDAV-Konto eingerichtet (kalmofax carddav add).")));
        const BookService::AccountView& first = accounts.constFirst();
        if (first.books.isEmpty()) {
            m_service->TakeNote(first.name); // the problem says it already
            dbusauto::ThrowError(kNotFound, first.name + QStringLiteral(": ") + first.problem);
        }
        return std::make_shared<BookFolder>(m_service, first.name, first.books.constFirst());
    }

    Service m_service;
};

class Application final : public DispatchObject {
public:
    explicit Application(Service service) : m_service(std::move(service)) {}

    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
        if (dispid != kGetNamespace)
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        dbusauto::ExpectArgs(args, {VT_BSTR});
        if (args.constFirst().ToBStr() != u"MAPI")
            dbusauto::ThrowError(
                kNotFound, Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "Es gibt keinen Namensraum %1."))
                               .arg(args.constFirst().ToBStr()));
        return AutoVariant::Dispatch(std::make_shared<Namespace>(m_service));
    }

private:
    Service m_service;
};

} // namespace

dbusauto::ServedClass OutlookApplicationClass(const std::shared_ptr<carddav::BookService>& books) {
    return {fax::kProgIdOutlook, [books] { return std::make_shared<Application>(books); }};
}

} // namespace faxapp
