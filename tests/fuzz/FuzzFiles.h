#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// The routines under test work on files: each input is written to files in a folder of the
// fuzzing process's own.
inline QString FuzzFolder() {
    static const QString folder = [] {
        QByteArray pattern = qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp")).toLocal8Bit();
        pattern += "/kalmo-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return QString::fromLocal8Bit(pattern);
    }();
    return folder;
}

inline QString FuzzPath(const char* name) {
    return FuzzFolder() + u'/' + QLatin1String(name);
}

inline void WriteFuzzFile(const QString& path, const unsigned char* data, std::size_t size) {
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

inline QByteArray ReadFuzzFile(const QString& path) {
    QByteArray bytes;
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!file)
        return QByteArray("<missing>");
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    return bytes;
}
