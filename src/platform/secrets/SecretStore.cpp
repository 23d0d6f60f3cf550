#include "platform/secrets/SecretStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace secrets {

namespace {

// The bus names of the keyrings QtKeychain can talk to.
const char* const kKeyringNames[] = {"org.freedesktop.secrets", "org.kde.kwalletd6",
                                     "org.kde.kwalletd5"};

struct Outcome {
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString text;
};

// Starts job (which deletes itself once finished) and waits for it up to timeout. A job
// that does not finish in time goes on by itself; its late answer is dropped.
Outcome RunJob(QKeychain::Job* job, const QString& key, std::chrono::milliseconds timeout) {
    auto outcome = std::make_shared<Outcome>();
    QEventLoop loop;
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, &loop, [outcome, &loop](QKeychain::Job* j) {
        outcome->finished = true;
        outcome->error = j->error();
        outcome->errorText = j->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(j))
            outcome->text = read->textData();
        loop.quit();
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    return *outcome;
}

Problem Failed(const QString& key, const Outcome& outcome) {
    if (!outcome.finished)
        return {0, key, QStringLiteral("the keyring did not answer in time")};
    return {0, key, QStringLiteral("keyring: ") + outcome.errorText};
}

} // namespace

bool KeyringAvailable() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QStringList activatable = bus.interface()->activatableServiceNames().value();
    for (const char* name : kKeyringNames) {
        const QString service = QString::fromLatin1(name);
        if (bus.interface()->isServiceRegistered(service).value() || activatable.contains(service))
            return true;
    }
    return false;
}

Result<std::optional<QString>> ReadSecret(const QString& key, std::chrono::milliseconds timeout) {
    const Outcome outcome = RunJob(new QKeychain::ReadPasswordJob(kSecretService), key, timeout);
    if (outcome.finished && outcome.error == QKeychain::EntryNotFound)
        return std::optional<QString>();
    if (!outcome.finished || outcome.error != QKeychain::NoError)
        return Failed(key, outcome);
    return std::optional<QString>(outcome.text);
}

Result<void> WriteSecret(const QString& key, const QString& secret,
                         std::chrono::milliseconds timeout) {
    auto* job = new QKeychain::WritePasswordJob(kSecretService);
    job->setTextData(secret);
    const Outcome outcome = RunJob(job, key, timeout);
    if (!outcome.finished || outcome.error != QKeychain::NoError)
        return Failed(key, outcome);
    return Success();
}

Result<void> DeleteSecret(const QString& key, std::chrono::milliseconds timeout) {
    const Outcome outcome = RunJob(new QKeychain::DeletePasswordJob(kSecretService), key, timeout);
    if (outcome.finished && outcome.error == QKeychain::EntryNotFound)
        return Success();
    if (!outcome.finished || outcome.error != QKeychain::NoError)
        return Failed(key, outcome);
    return Success();
}

} // namespace secrets
