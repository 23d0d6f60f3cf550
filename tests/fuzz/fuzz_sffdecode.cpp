// Decoding the pages of an SFF document as the viewer does: whatever the bytes, every page
// the walk found decodes to an image as wide as its header says and no taller than the
// limit, or to an error; nothing crashes or hangs.

#include "faxapp/pages/SffDecoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    faxapp::SffDecoder decoder(bytes);
    if (decoder.PageCount() == 0 && decoder.Problem().isEmpty())
        std::abort(); // a document without pages says why
    for (int i = 0; i < decoder.PageCount(); ++i) {
        QString error;
        const QImage image = decoder.DecodePage(i, error);
        if (image.isNull()) {
            if (error.isEmpty())
                std::abort();
            continue;
        }
        if (image.width() != decoder.PageWidth(i) || image.height() > 2 * faxapp::kMaxPageRows)
            std::abort();
        if (decoder.PageResolution(i) == 98 && image.height() % 2 != 0)
            std::abort();
    }
    return 0;
}
