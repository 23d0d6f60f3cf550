// A page bitmap, checked, decoded and converted: the input is the whole bitmap file. Either
// the conversion fails with a message, or it gives a JPEG and a one-page SFF document of 1728
// dots a row with the rows the bitmap's proportions call for.

#include "FuzzInput.h"
#include "faxapp/faxtiff/PageConverter.h"

using faxapp::BmpInfo;
using faxapp::BmpReader;
using faxapp::ConvertedPage;
using faxapp::PageConverter;

namespace {

int Le16(const QByteArray& b, qsizetype at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bmp(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    BmpInfo info;
    QString error;
    const bool headerOk = BmpReader::CheckHeader(bmp, info, error);
    FUZZ_CHECK(headerOk || !error.isEmpty());
    // Large pages are right but slow: the fuzzer's time goes to the small ones.
    if (headerOk &&
        (std::int64_t(info.width) * info.height > 4'000'000 || PageConverter::FaxRows(info) > 8000))
        return 0;

    ConvertedPage page;
    error.clear();
    const bool ok = PageConverter::Convert(bmp, page, error);
    if (!ok) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(headerOk);
    FUZZ_CHECK(info.width >= 1 && info.width <= BmpReader::kMaxWidth);
    FUZZ_CHECK(info.height >= 1 && info.height <= BmpReader::kMaxHeight);
    FUZZ_CHECK(page.jpeg.startsWith("\xFF\xD8"));

    const QByteArray& sff = page.sff;
    FUZZ_CHECK(sff.startsWith("Sfff") && sff.size() >= 20 + 18 + 2);
    FUZZ_CHECK(Le16(sff, 10) == 20);
    FUZZ_CHECK(static_cast<unsigned char>(sff[20]) == 0xFE && sff[21] == 16);
    FUZZ_CHECK(Le16(sff, 20 + 6) == PageConverter::kFaxWidth);
    FUZZ_CHECK(page.rows == PageConverter::FaxRows(info) && page.rows >= 1);
    FUZZ_CHECK(Le16(sff, 20 + 8) == page.rows);
    FUZZ_CHECK(sff.endsWith(QByteArray("\xFE\x00", 2)));
    return 0;
}
