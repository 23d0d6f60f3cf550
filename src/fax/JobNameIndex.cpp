#include "fax/JobNameIndex.h"

#include "fax/FaxContract.h"
#include "fax/FolderListing.h"
#include "support/NumberFormat.h"
#include "support/PathUtil.h"

#include <cctype>

namespace {

// The counter of "DDMMnnnn.FX3" (extension in any case) when name has that form with the
// given prefix, else -1.
int CounterOf(std::string_view name, const QByteArray& prefix) {
    if (name.size() != 12 || name.substr(0, 4) != std::string_view(prefix.constData(), 4))
        return -1;
    int counter = 0;
    for (std::size_t i = 4; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        counter = counter * 10 + (name[i] - '0');
    }
    if (name[8] != '.' || std::toupper(static_cast<unsigned char>(name[9])) != 'F' ||
        std::toupper(static_cast<unsigned char>(name[10])) != 'X' || name[11] != '3')
        return -1;
    return counter;
}

} // namespace

JobNameIndex::JobNameIndex(QString dataDir) : m_dataDir(std::move(dataDir)) {}

void JobNameIndex::Load(const QString& prefix) {
    m_prefix = prefix;
    m_taken.assign(kNamesPerDay, false);
    m_lowestFree = 0;
    const QByteArray prefixBytes = prefix.toLatin1();
    if (prefixBytes.size() != 4)
        return;
    // Comjob first: the fax application moves jobs from there into Comerr and Comack, so a
    // job that leaves Comjob while it is being listed is found in the folder it went to.
    for (const QString& folder : {fax::kFolderComjob, fax::kFolderComerr, fax::kFolderComack}) {
        ListFolder(JoinPath(m_dataDir, folder), [&](std::string_view name) {
            const int counter = CounterOf(name, prefixBytes);
            if (counter >= 0)
                m_taken[static_cast<std::size_t>(counter)] = true;
        });
    }
}

QString JobNameIndex::NextFree(const QString& prefix) {
    if (prefix != m_prefix || m_taken.empty())
        Load(prefix);
    while (m_lowestFree < kNamesPerDay && m_taken[static_cast<std::size_t>(m_lowestFree)])
        ++m_lowestFree;
    if (m_lowestFree >= kNamesPerDay)
        return {};
    return m_prefix + ZeroPad(static_cast<std::uint64_t>(m_lowestFree), 4, 10) +
           QStringLiteral(".FX3");
}

void JobNameIndex::MarkTaken(const QString& name) {
    if (m_taken.empty())
        return;
    const int counter = CounterOf(name.toStdString(), m_prefix.toLatin1());
    if (counter >= 0)
        m_taken[static_cast<std::size_t>(counter)] = true;
}

void JobNameIndex::Reset() {
    m_prefix.clear();
    m_taken.clear();
    m_lowestFree = 0;
}
