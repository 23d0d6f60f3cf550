#pragma once

// The CardDAV address books as a long-running server process sees them: every list comes from
// the local cache at once, and reading a book starts a sync of its account in a thread of its
// own, so that the next list shows what the server has now. An account that has never been
// synced is synced first, waiting a moment for it. When a background sync fails, the next
// complete reading of a book of that account is told once (Note) that its list may be old; a
// later successful sync clears that.

#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/carddav/CardDavCache.h"
#include "support/Result.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace faxapp::carddav {

class BookService {
public:
    using AccountSource = std::function<QList<Account>()>;
    using PasswordSource = std::function<Result<QString>(const Account&)>;

    struct Options {
        // How long reading the accounts waits for the first sync of one never synced: below
        // the time a caller on the bus waits for its answer.
        std::chrono::milliseconds firstSyncWait{3000};
        // A book read again within this time after a sync ended starts no new one.
        std::chrono::milliseconds resyncAfter{5000};
    };

    BookService(QString dataDir, AccountSource accounts, PasswordSource passwords, Options options);
    // Waits for the syncs still running.
    ~BookService();
    BookService(const BookService&) = delete;
    BookService& operator=(const BookService&) = delete;

    struct BookView {
        QUrl url;
        QString displayName;
    };
    struct AccountView {
        QString name;
        QList<BookView> books;
        QString problem; // why it has no books, in words; empty when it has
    };
    // The accounts of the settings with their books as cached.
    QList<AccountView> Accounts();

    // The cards of the book with a fax number, in the order of the list; starts a sync of the
    // account in the background.
    QList<CachedCard> Cards(const QString& account, const QUrl& book);

    // The note due for the account after a failed sync, given once: empty when none is due.
    QString TakeNote(const QString& account);
    // Whether a note is due for the account, without giving it.
    bool NoteDue(const QString& account) const;

    // Waits until no sync runs; false when one still runs after timeout.
    bool WaitForSyncs(std::chrono::milliseconds timeout);

private:
    struct State;
    void StartSync(const Account& account);
    Account Find(const QString& name);

    QString m_dataDir;
    AccountSource m_accounts;
    PasswordSource m_passwords;
    Options m_options;
    std::shared_ptr<State> m_state;
    QHash<QString, QThread*> m_threads; // the account's last sync thread, owned here
};

} // namespace faxapp::carddav
