#include "fax/SpoolNames.h"

#include "fax/FaxContract.h"
#include "fax/FolderListing.h"
#include "fax/JobNameIndex.h"
#include "fax/SpoolFolder.h"
#include "support/Clock.h"
#include "support/FileUtil.h"
#include "support/NumberFormat.h"
#include "support/PathUtil.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Names are compared without regard to case, as the fax application's own lookups do, so a
// name never collides with one that differs only in case.
QString Folded(std::string_view name) {
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())))
        .toUpper();
}

} // namespace

QString JobFileDayPrefix(const QDate& date) {
    return ZeroPad(static_cast<std::uint64_t>(date.day()), 2, 10) +
           ZeroPad(static_cast<std::uint64_t>(date.month()), 2, 10);
}

QString MakeJobFileName(const QString& dataDir, const Clock& clock) {
    JobNameIndex index(dataDir);
    return index.NextFree(JobFileDayPrefix(clock.Now().date()));
}

QString JobFilePath(const QString& dataDir, const QString& jobFileName) {
    return JoinPath(JoinPath(dataDir, fax::kFolderComjob), jobFileName);
}

bool ClaimFaxSendDocument(const SpoolFolder& faxsend, bool colour, FaxSendClaim& claim) {
    QSet<QString> taken;
    ListFolder(faxsend.Path(), [&](std::string_view name) {
        if (name.size() > 3 && (name[0] == '_'))
            taken.insert(Folded(name));
    });
    for (std::uint64_t counter = 0;; ++counter) {
        const QString name = QStringLiteral("_FX") + ZeroPad(counter, 5, 10);
        const QString upper = name.toUpper();
        if (taken.contains(upper + QStringLiteral(".SFF")) ||
            taken.contains(upper + QStringLiteral(".CFF")))
            continue;
        claim.base = faxsend.PathOf(name);
        claim.sffName = name + QStringLiteral(".SFF");
        claim.cffName = colour ? name + QStringLiteral(".CFF") : QString();
        if (!faxsend.CreateExclusive(claim.sff, claim.sffName)) {
            if (errno != EEXIST)
                return false;
            continue; // taken by another print since the folder was listed
        }
        if (!colour)
            return true;
        if (faxsend.CreateExclusive(claim.cff, claim.cffName))
            return true;
        const int error = errno;
        claim.sff.Close();
        faxsend.Remove(claim.sffName);
        if (error != EEXIST) {
            errno = error;
            return false;
        }
    }
}

QString MakeTempName(const QString& folder) {
    QStringList names;
    ListFolder(folder, [&](std::string_view name) {
        if (name.size() >= 3 && Folded(name.substr(0, 3)) == QLatin1String("TMP"))
            names.append(Folded(name));
    });
    std::sort(names.begin(), names.end());
    for (std::uint64_t counter = 0;; ++counter) {
        const QString name = QStringLiteral("Tmp") + ZeroPad(counter, 5, 10);
        const QString upper = name.toUpper();
        // The first listed name not below upper is the only one that can begin with it.
        const auto it = std::lower_bound(names.cbegin(), names.cend(), upper);
        if (it == names.cend() || !it->startsWith(upper))
            return JoinPath(folder, name);
    }
}

QString FormatSendTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    return QString::asprintf("%02d-%02d-%02d-%02d:%02d", ((date.year() % 100) + 100) % 100,
                             date.month(), date.day(), clock.hour(), clock.minute());
}
