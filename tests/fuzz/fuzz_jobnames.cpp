// The index of the job file names taken in Comjob, Comerr and Comack. The input makes files
// in the three folders and then asks the index, in steps; each step is a byte and its operands:
//   0 file: a folder byte (0 Comjob, 1 Comerr, 2 Comack) and a name field
//   1 NextFree with the day prefix      2 MarkTaken of a name field
//   3 Reset                             4 a new day prefix (four bytes, as digits)
// Whatever the names, NextFree answers the smallest name of the day that no file of the
// three folders had when they were last listed and that was not marked since.

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "fax/JobNameIndex.h"

#include <QDir>
#include <QRegularExpression>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace {

const char* const kFolders[] = {"Comjob", "Comerr", "Comack"};

// The counter of "<prefix>nnnn.FX3", the extension in any case; -1 for any other name.
int Counter(const QByteArray& name, const QByteArray& prefix) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{4}\\.[fF][xX]3$"));
    if (!name.startsWith(prefix) || name.size() != prefix.size() + 8)
        return -1;
    const QByteArray rest = name.mid(prefix.size());
    if (!pattern.match(QString::fromLatin1(rest)).hasMatch())
        return -1;
    return rest.left(4).toInt();
}

QString Prefix(FuzzInput& input) {
    QString prefix;
    for (int i = 0; i < 4; ++i)
        prefix += QChar(u'0' + input.Byte() % 10);
    return prefix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const QString dataDir = FuzzPath("data");
    QDir(dataDir).removeRecursively();
    for (const char* folder : kFolders)
        FUZZ_CHECK(QDir().mkpath(dataDir + u'/' + QLatin1String(folder)));

    FuzzInput input(data, size);
    JobNameIndex index(dataDir);
    QList<QByteArray> files; // names on disk, in any folder
    QString prefix = QStringLiteral("0912");
    // What the index should know: the prefix it listed for and the counters it holds taken.
    std::optional<QString> listed;
    std::set<int> known;
    while (!input.AtEnd()) {
        switch (input.Byte() % 5) {
        case 0: {
            const char* folder = kFolders[input.Byte() % 3];
            const QByteArray name = input.Field();
            if (name.isEmpty() || name == "." || name == ".." || name.contains('/') ||
                name.size() > 255)
                break;
            const QByteArray path = QFile::encodeName(dataDir) + '/' + folder + '/' + name;
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            FUZZ_CHECK(fd >= 0);
            ::close(fd);
            files.append(name);
            break;
        }
        case 1: {
            if (listed != prefix) {
                listed = prefix;
                known.clear();
                for (const QByteArray& name : files)
                    if (const int counter = Counter(name, prefix.toLatin1()); counter >= 0)
                        known.insert(counter);
            }
            int expected = 0;
            while (known.count(expected))
                ++expected;
            const QString next = index.NextFree(prefix);
            FUZZ_CHECK(next == prefix + QString::number(expected).rightJustified(4, u'0') +
                                   QLatin1String(".FX3"));
            break;
        }
        case 2: {
            const QByteArray name = input.Field();
            index.MarkTaken(QString::fromUtf8(name));
            if (listed) {
                if (const int counter =
                        Counter(QString::fromUtf8(name).toUtf8(), listed->toLatin1());
                    counter >= 0)
                    known.insert(counter);
            }
            break;
        }
        case 3:
            index.Reset();
            listed.reset();
            known.clear();
            break;
        default:
            prefix = Prefix(input);
            break;
        }
    }
    return 0;
}
