#include "faxapp/JournalStore.h"

namespace faxapp {

struct JournalStore::Impl {};

QString JournalStore::DatabasePath(const QString& dataDir) {
    return dataDir + QStringLiteral("/Journal.sqlite");
}

std::unique_ptr<JournalStore> JournalStore::Open(const QString&, QString& error) {
    error = QStringLiteral("not built yet");
    return nullptr;
}

JournalStore::JournalStore(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
JournalStore::~JournalStore() = default;

bool JournalStore::Add(JournalEntry&, QString& error) {
    error = QStringLiteral("not built yet");
    return false;
}

std::optional<QList<JournalEntry>> JournalStore::Entries(QString& error, int) const {
    error = QStringLiteral("not built yet");
    return std::nullopt;
}

bool JournalStore::SetOutcome(const QString&, const QString&, const QString&, QString& error) {
    error = QStringLiteral("not built yet");
    return false;
}

} // namespace faxapp
