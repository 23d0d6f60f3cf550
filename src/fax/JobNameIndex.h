#pragma once

#include <QString>
#include <vector>

// Which job file names of one day are taken in Comjob, Comerr and Comack. The folders are
// listed once when a day's names are first asked for, not once per counter value; names
// taken later by others are found when they are claimed (the claim is exclusive), and names
// freed later are used again by the next index.
class JobNameIndex {
public:
    static constexpr int kNamesPerDay = 10000;

    explicit JobNameIndex(QString dataDir);

    // The smallest name of the day prefix "DDMM" not known as taken; empty when all are.
    // Lists the three folders when prefix differs from the last one asked for.
    QString NextFree(const QString& prefix);
    // Records a name of the current prefix as taken (claimed by us or found taken).
    void MarkTaken(const QString& name);
    // Forgets what was listed; the next NextFree lists again.
    void Reset();

private:
    void Load(const QString& prefix);

    QString m_dataDir;
    QString m_prefix;
    std::vector<bool> m_taken;
    int m_lowestFree = 0;
};
