// Runs a fuzz target over the files of its corpus folders, for builds without libFuzzer.

#include "FuzzFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size);

int main(int argc, char* argv[]) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(arg).isDir()) {
            for (const QString& name : QDir(arg).entryList(QDir::Files, QDir::Name))
                files.append(QDir(arg).filePath(name));
        } else {
            files.append(arg);
        }
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
            ++inputs;
        }
    }
    QDir(FuzzFolder()).removeRecursively();
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
