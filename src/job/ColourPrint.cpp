#include "job/ColourPrint.h"

#include "fax/FaxContract.h"
#include "fax/FileCopy.h"
#include "fax/PosixFile.h"
#include "fax/SffAppend.h"
#include "fax/SpoolFolder.h"
#include "fax/SpoolNames.h"
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
#include <cerrno>
#include <unistd.h>

bool ConvertBitmap(ProcessLauncher& launcher, const QString& systemDir, const QString& bitmapPath,
                   const QString& outputPath) {
    ProcessStart start;
    // The converter runs in the bitmap's folder: paths relative to ours would miss there.
    start.program = QFileInfo(JoinPath(systemDir, fax::kProgramConverter)).absoluteFilePath();
    start.arguments = {GetFileNamePart(bitmapPath), QFileInfo(outputPath).absoluteFilePath()};
    start.workingDirectory = StemFolder(bitmapPath);
    start.show = ProcessStart::Show::Hidden;
    start.wait = true;
    return launcher.Start(start);
}

QString StemFolder(const QString& path) {
    const QString folder = GetDirectoryPart(path);
    // "/Page": the folder part before the only separator is the root.
    return folder.isEmpty() ? QStringLiteral("/") : folder;
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

// The working files of one colour print in the data folder, all of one temporary base that
// this print owns: the bare base is created exclusively first, then its ".CFF" and ".SFF",
// each exclusively; since no other print takes a base that any file name begins with, two
// prints never share a working file.
class ColourAssembly {
public:
    explicit ColourAssembly(const SpoolFolder& data) : m_data(data) {}
    ColourAssembly(const ColourAssembly&) = delete;
    ColourAssembly& operator=(const ColourAssembly&) = delete;

    bool Claim() {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            m_base = GetFileNamePart(MakeTempName(m_data.Path()));
            PosixFile claim;
            if (!m_data.CreateExclusive(claim, m_base)) {
                if (errno == EEXIST)
                    continue; // another print claimed it since the folder was listed
                return false;
            }
            // A base freed by a print that finished may still have its files: only what this
            // claim made is ever removed again.
            PosixFile sff;
            const bool cff = m_data.CreateExclusive(m_cff, Name(".CFF"));
            if (cff && m_data.CreateExclusive(sff, Name(".SFF"))) {
                // The names must be on disk before the first bitmap goes.
                m_data.Sync();
                return true;
            }
            const int error = errno;
            if (cff) {
                m_cff.Close();
                m_data.Remove(Name(".CFF"));
            }
            m_data.Remove(m_base);
            if (error != EEXIST) {
                errno = error;
                return false;
            }
        }
        errno = EEXIST;
        return false;
    }

    // Converts one bitmap and appends its colour and black-and-white pages. True when both
    // are appended and on disk; otherwise both collections are as they were.
    bool AddPage(ProcessLauncher& launcher, const QString& systemDir, const QString& bitmap) {
        const QString tmpName = Name(".TMP");
        const QString pageSff = StripExtension(bitmap) + QStringLiteral(".SFF");
        const auto removeByProducts = [&] {
            m_data.Remove(tmpName);
            QFile::remove(pageSff);
        };
        if (!ConvertBitmap(launcher, systemDir, bitmap, m_data.PathOf(tmpName))) {
            removeByProducts();
            return false;
        }
        const std::int64_t before = m_cff.Length();
        PosixFile page;
        if (before < 0 || !m_data.OpenRegular(page, tmpName) ||
            CopyOpenFile(m_cff, page) != kCopyDone) {
            if (before >= 0)
                m_cff.Truncate(before);
            removeByProducts();
            return false;
        }
        FileError error;
        if (!AppendSffFile(m_data.PathOf(Name(".SFF")), pageSff, error)) {
            // The colour page goes again, so that both collections hold the same pages.
            m_cff.Truncate(before);
            m_cff.Sync();
            removeByProducts();
            return false;
        }
        removeByProducts();
        ++m_pages;
        return true;
    }

    // The collected colour file, when it holds a page; otherwise everything is removed.
    QString Finish() {
        if (m_pages == 0) {
            Abandon();
            return {};
        }
        m_cff.Close();
        // The ".CFF" keeps the base taken from now on.
        m_data.Remove(m_base);
        return m_data.PathOf(Name(".CFF"));
    }

private:
    QString Name(const char* extension) const { return m_base + QLatin1String(extension); }

    void Abandon() {
        m_cff.Close();
        m_data.Remove(Name(".CFF"));
        m_data.Remove(Name(".SFF"));
        m_data.Remove(m_base);
    }

    const SpoolFolder& m_data;
    QString m_base;
    PosixFile m_cff;
    int m_pages = 0;
};

} // namespace

void AssemblePageBitmaps(QString& printFile, const QString& dataDir, const QString& systemDir,
                         ProcessLauncher& launcher, Messenger& messenger, QStringList* collected) {
    // An empty stem would take every bitmap of the folder, a folder's path everything in it.
    const QString stem = GetFileNamePart(printFile);
    if (stem.isEmpty() || IsDirectory(printFile))
        return;
    const QString folder = StemFolder(printFile);

    SpoolFolder data;
    const bool dataOpen = data.Open(dataDir);
    ColourAssembly assembly(data);
    bool claimed = false;
    QSet<QString> taken; // a page that failed keeps its bitmap, which is listed again
    int lost = 0;
    for (;;) {
        const QString bitmap = NextBitmap(folder, stem, taken);
        if (bitmap.isEmpty())
            break;
        taken.insert(bitmap);
        if (!claimed)
            claimed = dataOpen && assembly.Claim();
        // A bitmap goes only once its page is safe in both collections.
        if (claimed && assembly.AddPage(launcher, systemDir, bitmap)) {
            if (collected)
                collected->append(bitmap);
            else
                QFile::remove(bitmap);
        } else
            ++lost;
    }
    if (claimed) {
        const QString cff = assembly.Finish();
        if (!cff.isEmpty())
            printFile = cff;
    }
    // Pages are skipped so that the others follow, but a fax short of pages is not silent.
    if (lost > 0)
        MessageWarning1(messenger, IDS_ERR_COLOUR_PAGES, QString::number(lost));
}
