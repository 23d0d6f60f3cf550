#include "job/ColourPrint.h"

#include "app/FaxContract.h"
#include "job/FileCopy.h"
#include "job/SffAppend.h"
#include "job/SpoolNames.h"
#include "platform/ProcessLauncher.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

bool ConvertBitmap(ProcessLauncher& launcher, const QString& systemDir, const QString& bitmapPath,
                   const QString& outputPath) {
    ProcessStart start;
    // The converter runs in the bitmap's folder: paths relative to ours would miss there.
    start.program = QFileInfo(JoinPath(systemDir, fax::kProgramConverter)).absoluteFilePath();
    start.arguments = {GetFileNamePart(bitmapPath), QFileInfo(outputPath).absoluteFilePath()};
    start.workingDirectory = GetDirectoryPart(bitmapPath);
    start.show = ProcessStart::Show::Hidden;
    start.wait = true;
    return launcher.Start(start);
}

namespace {

// The first page bitmap of the print not taken yet: files whose path starts with the print
// file's path and ends in ".bmp", in the order of their names.
QString NextBitmap(const QString& folder, const QString& stem, const QSet<QString>& taken) {
    QDir dir(folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (!name.startsWith(stem) || !name.endsWith(QLatin1String(".bmp")))
            continue;
        const QString path = JoinPath(folder, name);
        if (!taken.contains(path))
            return path;
    }
    return {};
}

void DeleteFile(const QString& path) {
    QFile::remove(path);
}

} // namespace

void AssemblePageBitmaps(QString& printFile, const QString& dataDir, const QString& systemDir,
                         ProcessLauncher& launcher, Messenger& messenger) {
    // An empty stem would take every bitmap of the folder, a folder's path everything in it.
    const QString stem = GetFileNamePart(printFile);
    if (stem.isEmpty() || IsDirectory(printFile))
        return;
    const QString folder = GetDirectoryPart(printFile);

    QString cffPath;
    QString sffPath;
    QSet<QString> taken; // a bitmap that cannot be deleted is listed again
    int lost = 0;
    for (;;) {
        const QString bitmap = NextBitmap(folder, stem, taken);
        if (bitmap.isEmpty())
            break;
        taken.insert(bitmap);

        const QString base = MakeTempName(dataDir);
        const QString tmpPath = base + QStringLiteral(".TMP");
        bool pageOk = ConvertBitmap(launcher, systemDir, bitmap, tmpPath);
        DeleteFile(bitmap);
        if (cffPath.isEmpty()) {
            cffPath = base + QStringLiteral(".CFF");
            sffPath = base + QStringLiteral(".SFF");
        }
        if (CopyFileData(cffPath, tmpPath, true) != kCopyDone)
            pageOk = false;
        DeleteFile(tmpPath);
        const QString pageSff = StripExtension(bitmap) + QStringLiteral(".SFF");
        FileError error;
        if (!AppendSffFile(sffPath, pageSff, error))
            pageOk = false;
        DeleteFile(pageSff);
        if (!pageOk)
            ++lost;
    }
    if (!cffPath.isEmpty())
        printFile = cffPath;
    // Pages are skipped so that the others follow, but a fax short of pages is not silent.
    if (lost > 0)
        MessageWarning1(messenger, IDS_ERR_COLOUR_PAGES, QString::number(lost));
}
