// Colour prints (JPEG pictures end to end) split into pages, any bytes. The pages found are
// whole pictures one after the other from the first byte on, or the print says why not; where
// a picture ends does not depend on what follows it; the same pictures in another order split
// into the same pages; and a page decodes to a picture within the page limits or says why.

#include "FuzzInput.h"
#include "faxapp/pages/ColourPages.h"

#include <QList>

using faxapp::ColourPages;

namespace {

constexpr int kPagesDecoded = 2;

// The pictures at the start of bytes, as (begin, end), up to the first that is not whole.
QList<std::pair<qsizetype, qsizetype>> Pictures(const QByteArray& bytes) {
    QList<std::pair<qsizetype, qsizetype>> found;
    qsizetype at = 0;
    while (at < bytes.size() && found.size() < faxapp::kMaxPages) {
        const qsizetype end = ColourPages::PictureEnd(bytes, at);
        if (end < 0)
            break;
        FUZZ_CHECK(end >= at + 4 && end <= bytes.size());
        FUZZ_CHECK(bytes.at(end - 2) == '\xFF' && bytes.at(end - 1) == '\xD9');
        found.append({at, end});
        at = end;
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ColourPages pages(bytes);
    const auto pictures = Pictures(bytes);
    const bool whole = !pictures.isEmpty() && pictures.last().second == bytes.size();
    FUZZ_CHECK(pages.Problem().isEmpty() == whole);
    FUZZ_CHECK(pages.PageCount() == pictures.size());

    QByteArray reversed;
    for (const auto& [begin, end] : pictures) {
        const QByteArray picture = bytes.mid(begin, end - begin);
        // Alone, or followed by anything, the picture ends where it ended in the print.
        FUZZ_CHECK(ColourPages::PictureEnd(picture, 0) == picture.size());
        FUZZ_CHECK(ColourPages::PictureEnd(picture + bytes.mid(end), 0) == picture.size());
        reversed.prepend(picture);
    }
    if (!pictures.isEmpty()) {
        const auto again = Pictures(reversed);
        FUZZ_CHECK(again.size() == pictures.size());
        for (qsizetype i = 0; i < again.size(); ++i) {
            const auto& original = pictures[pictures.size() - 1 - i];
            FUZZ_CHECK(again[i].second - again[i].first == original.second - original.first);
        }
    }

    for (int i = 0; i < pages.PageCount() && i < kPagesDecoded; ++i) {
        QString error;
        const QImage page = pages.DecodePage(i, error);
        if (page.isNull()) {
            FUZZ_CHECK(!error.isEmpty());
            continue;
        }
        FUZZ_CHECK(page.width() <= faxapp::kMaxPageWidth && page.height() <= faxapp::kMaxPageRows);
    }
    QString error;
    FUZZ_CHECK(pages.DecodePage(pages.PageCount(), error).isNull() && !error.isEmpty());
    return 0;
}
