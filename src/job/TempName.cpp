#include "job/TempName.h"

#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <QDir>
#include <QStringList>

QString MakeTempName(const QString& folder) {
    // One listing: the names are compared, as the fax application's own lookups do, without
    // regard to case.
    const QStringList names =
        QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QString base = JoinPath(folder, QStringLiteral("Tmp"));
    for (qint64 counter = 0;; ++counter) {
        const QString stem =
            QStringLiteral("Tmp") + QString::number(counter).rightJustified(5, u'0');
        bool taken = false;
        for (const QString& name : names) {
            if (name.startsWith(stem, Qt::CaseInsensitive)) {
                taken = true;
                break;
            }
        }
        if (!taken)
            return base + stem.mid(3);
    }
}
