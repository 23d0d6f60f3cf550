// The OEM code page (CP850) of the job files. The input's first byte chooses how the rest is
// read: bit 0 as UTF-16 (lone surrogates included) or as UTF-8 text; the same bytes are also
// read as CP850. A text becomes one byte per character: its ASCII characters as they are
// (control characters only where the text has them), every other character as a CP850 byte
// that reads back as that character, or "?". Every CP850 byte reads as one character that
// converts back to the byte; a trip through CP850 changes nothing the second time; a file
// holds the bytes with CR LF for each line feed.

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "fax/OemFile.h"

#include <QList>

namespace {

// The text's code points; a lone surrogate counts as one.
QList<char32_t> CodePoints(const QString& text) {
    QList<char32_t> points;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            points.append(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            points.append(c.unicode());
        }
    }
    return points;
}

void CheckText(const QString& text) {
    const QList<char32_t> points = CodePoints(text);
    const QByteArray oem = COemFile::ToOem(text);
    FUZZ_CHECK(oem.size() == points.size());
    for (qsizetype i = 0; i < oem.size(); ++i) {
        const auto byte = static_cast<unsigned char>(oem.at(i));
        if (points.at(i) < 0x80) {
            FUZZ_CHECK(byte == points.at(i));
        } else if (byte < 0x80) {
            FUZZ_CHECK(byte == '?');
        } else {
            const QString back = COemFile::FromOem(oem.mid(i, 1));
            FUZZ_CHECK(CodePoints(back) == QList<char32_t>{points.at(i)});
        }
    }
    const QString through = COemFile::ThroughOem(text);
    FUZZ_CHECK(through == COemFile::FromOem(oem));
    FUZZ_CHECK(COemFile::ThroughOem(through) == through);
    FUZZ_CHECK(COemFile::ToOem(through) == oem);

    static const QString path = FuzzPath("job.fx3");
    COemFile file;
    FUZZ_CHECK(file.Open(path) && file.WriteOemString(text) && file.Close());
    QByteArray expected = oem;
    expected.replace("\n", "\r\n");
    FUZZ_CHECK(ReadFuzzFile(path) == expected);
}

void CheckBytes(const QByteArray& oem) {
    const QString text = COemFile::FromOem(oem);
    FUZZ_CHECK(CodePoints(text).size() == oem.size());
    FUZZ_CHECK(COemFile::ToOem(text) == oem);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool utf16 = (input.Byte() & 1) != 0;
    const QByteArray bytes = input.Rest();
    if (utf16)
        CheckText(QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2));
    else
        CheckText(QString::fromUtf8(bytes));
    CheckBytes(bytes);
    return 0;
}
