// Text print files laid out on pages, any bytes. There is at least one page and no more than
// the limit; a page has at most 64 lines of at most 80 columns, without control characters;
// every character that shows (all but blanks and control characters) is on the pages in the
// order of the file, UTF-8 or the OEM code page; and a page renders as a fax page with ink
// where the text has a letter.

#include "FuzzInput.h"
#include "fax/OemFile.h"
#include "faxapp/pages/TextPages.h"

#include <QGuiApplication>
#include <QStringDecoder>
#include <memory>

using faxapp::TextPages;

namespace {

QString Shown(const QString& text) {
    QString shown;
    for (const QChar c : text)
        if (c.unicode() > 0x20)
            shown.append(c);
    return shown;
}

void NeedApplication() {
    static int argc = 1;
    static char name[] = "fuzz_text";
    static char* argv[] = {name, nullptr};
    // Ended with the process, so that the font library's caches go with it.
    static const std::unique_ptr<QGuiApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

bool HasInk(const QImage& page) {
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x)
            if (line[x] < 128)
                return true;
    }
    return false;
}

} // namespace

// The font library keeps caches that it frees only at its own end, which no program calls.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TextPages pages(bytes);
    FUZZ_CHECK(pages.PageCount() >= 1 && pages.PageCount() <= faxapp::kMaxPages);
    FUZZ_CHECK(pages.Problem().isEmpty() || pages.PageCount() == faxapp::kMaxPages);
    QString onPages;
    for (int i = 0; i < pages.PageCount(); ++i) {
        const QStringList lines = pages.PageLines(i);
        FUZZ_CHECK(lines.size() <= TextPages::kLinesPerPage);
        for (const QString& line : lines) {
            FUZZ_CHECK(line.size() <= TextPages::kColumns);
            for (const QChar c : line)
                FUZZ_CHECK(c.unicode() >= 0x20);
            onPages += Shown(line);
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = COemFile::FromOem(bytes);
    const QString shown = Shown(text);
    if (pages.Problem().isEmpty())
        FUZZ_CHECK(onPages == shown);
    else
        FUZZ_CHECK(shown.startsWith(onPages));

    // Rendering is slow: one input in sixteen, and only its first page.
    if (size % 16 != 0)
        return 0;
    NeedApplication();
    QString error;
    const QImage page = pages.DecodePage(0, error);
    FUZZ_CHECK(page.width() == TextPages::kPageWidth && page.height() == TextPages::kPageHeight);
    FUZZ_CHECK(page.format() == QImage::Format_Grayscale8);
    bool letter = false;
    for (const QString& line : pages.PageLines(0))
        for (const QChar c : line)
            letter = letter || (c.unicode() < 0x80 && c.isLetterOrNumber());
    if (letter)
        FUZZ_CHECK(HasInk(page));
    return 0;
}
