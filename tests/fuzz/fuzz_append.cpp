// Appending one SFF document to another, both made of the input: byte 0 holds flags (bit 0:
// no target file), bytes 1 and 2 the source's length; the source follows, then the target.
// Whatever the documents hold, a failed append leaves the target as it was, and a successful
// one keeps the target's header.

#include "FuzzFiles.h"
#include "fax/SffAppend.h"

#include <QFile>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 3)
        return 0;
    static const QString source = FuzzPath("source.sff");
    static const QString target = FuzzPath("target.sff");
    const bool noTarget = (data[0] & 1) != 0;
    std::size_t sourceSize = data[1] | std::size_t(data[2]) << 8;
    data += 3;
    size -= 3;
    if (sourceSize > size)
        sourceSize = size;
    WriteFuzzFile(source, data, sourceSize);
    QFile::remove(target);
    if (!noTarget)
        WriteFuzzFile(target, data + sourceSize, size - sourceSize);
    const QByteArray before = noTarget ? QByteArray() : ReadFuzzFile(target);

    FileError error;
    const bool ok = AppendSffFile(target, source, error);
    const QByteArray after = ReadFuzzFile(target);
    if (!ok) {
        if (noTarget ? after != QByteArray("<missing>") && !after.isEmpty() : after != before)
            std::abort();
        if (error.m_cause == FileError::none &&
            (error.m_lOsError != 0 || !error.m_strFileName.isEmpty()))
            std::abort();
        return 0;
    }
    if (error.m_cause != FileError::none)
        std::abort();
    const QByteArray sourceBytes(reinterpret_cast<const char*>(data), qsizetype(sourceSize));
    if (before.isEmpty()) {
        if (after != sourceBytes)
            std::abort();
    } else if (before.left(20) != after.left(20) || !after.endsWith(sourceBytes.right(2))) {
        std::abort();
    }
    return 0;
}
