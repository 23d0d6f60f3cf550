#include "faxapp/carddav/BookService.h"

#include "faxapp/carddav/CardDavClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocale>
#include <QThread>

namespace faxapp::carddav {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::CardDav", text);
}

} // namespace

// What the sync threads tell the server's thread, behind one lock.
struct BookService::State {
    struct PerAccount {
        bool attempted = false;
        bool running = false;
        std::chrono::steady_clock::time_point endedAt; // when the last sync ended
        QString failure;                               // of the last sync, empty when it succeeded
        bool noteDue = false;
        bool noted = false; // the note of the failures since the last success was given
    };
    std::mutex mutex;
    QHash<QString, PerAccount> accounts;
};

BookService::BookService(QString dataDir, AccountSource accounts, PasswordSource passwords,
                         Options options)
    : m_dataDir(std::move(dataDir)), m_accounts(std::move(accounts)),
      m_passwords(std::move(passwords)), m_options(options), m_state(std::make_shared<State>()) {}

BookService::~BookService() {
    for (QThread* thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

Account BookService::Find(const QString& name) {
    for (const Account& account : m_accounts())
        if (account.name == name)
            return account;
    return {};
}

void BookService::StartSync(const Account& account) {
    {
        const std::lock_guard lock(m_state->mutex);
        State::PerAccount& state = m_state->accounts[account.name];
        if (state.running)
            return;
        if (state.attempted &&
            std::chrono::steady_clock::now() - state.endedAt < m_options.resyncAfter)
            return;
        state.attempted = true;
        state.running = true;
    }
    if (QThread* old = m_threads.take(account.name)) {
        old->wait();
        delete old;
    }
    const QString folder = CacheFolder(m_dataDir, account.name);
    const std::shared_ptr<State> shared = m_state;
    // The keyring is asked on the sync's thread too: it may wait for the user to unlock it,
    // and the server's thread answers the bus meanwhile.
    QThread* thread = QThread::create([account, passwords = m_passwords, folder, shared] {
        QString failure;
        QString unusable = CheckServerUrl(account.url);
        if (unusable.isEmpty())
            unusable = CheckUser(account.user);
        const auto password = unusable.isEmpty()
                                  ? passwords(account)
                                  : Result<QString>(Problem{0, account.name, unusable});
        if (!password) {
            failure = password.Error().Text();
        } else {
            const auto before = LoadCache(folder);
            const auto after = SyncAccount(account, *password, before ? *before : AccountCache{});
            if (!after)
                failure = after.Error().Text();
            else if (const auto saved = SaveCache(folder, *after); !saved)
                failure = saved.Error().Text();
        }
        const std::lock_guard lock(shared->mutex);
        State::PerAccount& state = shared->accounts[account.name];
        state.running = false;
        state.endedAt = std::chrono::steady_clock::now();
        state.failure = failure;
        if (failure.isEmpty())
            state.noted = false;
        state.noteDue = !failure.isEmpty() && !state.noted;
    });
    m_threads.insert(account.name, thread);
    thread->start();
}

QList<BookService::AccountView> BookService::Accounts() {
    QList<AccountView> views;
    for (const Account& account : m_accounts()) {
        const QString folder = CacheFolder(m_dataDir, account.name);
        auto cache = LoadCache(folder);
        const bool cached = cache && cache->syncedAt.isValid() && cache->server == account.url &&
                            cache->user == account.user;
        if (!cached) {
            StartSync(account);
            if (QThread* thread = m_threads.value(account.name))
                thread->wait(QDeadlineTimer(m_options.firstSyncWait));
            cache = LoadCache(folder);
        }
        AccountView view{account.name, {}, {}};
        if (cache && cache->server == account.url && cache->user == account.user)
            for (const CachedBook& book : cache->books)
                view.books.append({book.url, book.displayName});
        if (view.books.isEmpty()) {
            const std::lock_guard lock(m_state->mutex);
            const State::PerAccount& state = m_state->accounts[account.name];
            if (state.running)
                view.problem = Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                                    "die Adressbücher werden zum ersten Mal "
                                                    "gelesen; bitte gleich noch einmal versuchen"));
            else if (!state.failure.isEmpty())
                view.problem = state.failure;
            else if (!cache)
                view.problem = cache.Error().Text();
            else
                view.problem = Tr(QT_TRANSLATE_NOOP(
                    "faxapp::CardDav", "der Server hat kein Adressbuch für dieses Konto"));
        }
        views.append(std::move(view));
    }
    return views;
}

QList<CachedCard> BookService::Cards(const QString& name, const QUrl& url) {
    const Account account = Find(name);
    if (account.name.isEmpty())
        return {};
    QList<CachedCard> cards;
    const auto cache = LoadCache(CacheFolder(m_dataDir, account.name));
    if (cache)
        for (const CachedBook& book : cache->books)
            if (book.url == url)
                cards = FaxCards(book);
    StartSync(account);
    return cards;
}

bool BookService::NoteDue(const QString& name) const {
    const std::lock_guard lock(m_state->mutex);
    const auto it = m_state->accounts.constFind(name);
    return it != m_state->accounts.cend() && it->noteDue;
}

QString BookService::TakeNote(const QString& name) {
    QString failure;
    {
        const std::lock_guard lock(m_state->mutex);
        State::PerAccount& state = m_state->accounts[name];
        if (!state.noteDue)
            return {};
        state.noteDue = false;
        state.noted = true;
        failure = state.failure;
    }
    const auto cache = LoadCache(CacheFolder(m_dataDir, name));
    const QString when =
        cache && cache->syncedAt.isValid()
            ? QLocale().toString(cache->syncedAt.toLocalTime(), QLocale::ShortFormat)
            : Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "nie"));
    return Tr(QT_TRANSLATE_NOOP(
                  "faxapp::CardDav",
                  "Die Adressbücher von %1 konnten nicht aktualisiert werden (%2). Die Liste zeigt "
                  "sie mit dem Stand vom %3 und ist vielleicht nicht aktuell."))
        .arg(name, failure, when);
}

bool BookService::WaitForSyncs(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    for (QThread* thread : std::as_const(m_threads))
        if (!thread->wait(deadline))
            return false;
    return true;
}

} // namespace faxapp::carddav
