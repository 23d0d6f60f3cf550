// Format and resolution of a print file made of the input bytes.

#include "FuzzFiles.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const QString path = FuzzPath("print.dat");
    WriteFuzzFile(path, data, size);
    const std::int32_t format = DetectFileFormat(path);
    if (format != DetectFormatOfBytes(data, size))
        std::abort();
    const std::int32_t resolution = GetSffResolution(path);
    if (resolution != 0 && resolution != 98 && resolution != 196)
        std::abort();
    if (resolution != 0 && format != kFormatSff)
        std::abort();
    PrintFileInfo info;
    if (!info.Examine(path) || info.m_nSize != size)
        std::abort();
    return 0;
}
