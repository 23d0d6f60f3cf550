#include "faxapp/pages/FaxPdf.h"

#include "faxapp/pages/MemoryTiff.h"
#include "faxapp/pages/TiffPages.h"

#include <QImage>
#include <QList>
#include <cstring>

namespace faxapp {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kFaxDpiX = 204.0;
constexpr double kFaxDpiY = 196.0;
constexpr double kCmPerInch = 2.54;
constexpr double kMetresPerInch = 0.0254;
// Fast deflating: a fax page's runs deflate well at any level, and saving should not wait.
constexpr int kDeflateLevel = 1;

// The objects of the PDF as they are added; their offsets for the cross-reference table.
class PdfFile {
public:
    PdfFile() {
        m_bytes.reserve(1 << 20);
        m_bytes += "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    }
    // A number for an object added later.
    int Reserve() {
        m_offsets.append(-1);
        return int(m_offsets.size());
    }
    void Add(int number, const QByteArray& body) {
        Begin(number);
        m_bytes += body;
        m_bytes += "\nendobj\n";
    }
    void AddStream(int number, const QByteArray& dictionary, const QByteArray& data) {
        Begin(number);
        m_bytes +=
            "<<" + dictionary + " /Length " + QByteArray::number(data.size()) + ">>\nstream\n";
        m_bytes += data;
        m_bytes += "\nendstream\nendobj\n";
    }
    QByteArray Finish(int root, int info) {
        const qsizetype xref = m_bytes.size();
        m_bytes += "xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n";
        m_bytes += "0000000000 65535 f \n";
        for (const qsizetype offset : std::as_const(m_offsets))
            m_bytes += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        m_bytes += "trailer\n<</Size " + QByteArray::number(m_offsets.size() + 1) + " /Root " +
                   Ref(root) + " /Info " + Ref(info) + ">>\nstartxref\n" +
                   QByteArray::number(xref) + "\n%%EOF\n";
        return std::move(m_bytes);
    }
    static QByteArray Ref(int number) { return QByteArray::number(number) + " 0 R"; }

private:
    void Begin(int number) {
        m_offsets[number - 1] = m_bytes.size();
        m_bytes += QByteArray::number(number) + " 0 obj\n";
    }

    QByteArray m_bytes;
    QList<qsizetype> m_offsets;
};

// A text string of the document's information: UTF-16 in hexadecimal, whatever it holds.
QByteArray PdfText(const QString& text) {
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex + '>';
}

QByteArray Real(double value) {
    return QByteArray::number(value, 'f', 3);
}

QByteArray Deflated(const QByteArray& data) {
    // qCompress puts the length before the zlib stream; PDF wants the stream alone.
    return qCompress(data, kDeflateLevel).mid(4);
}

struct PdfImage {
    int width = 0;
    int height = 0;
    double widthPt = 0;
    double heightPt = 0;
    QByteArray dictionary; // without the length
    QByteArray data;
};

// The page as the TIFF codes it, when PDF can read that coding: G4 in one strip.
bool CodedImage(TIFF* tiff, PdfImage& image) {
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t fillOrder = FILLORDER_MSB2LSB;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fillOrder);
    if (compression != COMPRESSION_CCITTFAX4 || bits != 1 || samples != 1 || TIFFIsTiled(tiff) ||
        TIFFNumberOfStrips(tiff) != 1 ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK))
        return false;
    const tmsize_t size = TIFFRawStripSize(tiff, 0);
    if (size <= 0 || size > tmsize_t{64} * 1024 * 1024)
        return false;
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (TIFFReadRawStrip(tiff, 0, data.data(), size) != size)
        return false;
    if (fillOrder == FILLORDER_LSB2MSB)
        TIFFReverseBits(reinterpret_cast<std::uint8_t*>(data.data()), size);
    image.data = std::move(data);
    // PDF's CCITT filter gives white runs as 1, white in DeviceGray; a TIFF that calls 0 black
    // means the runs the other way round.
    image.dictionary = "/Type /XObject /Subtype /Image /Width " + QByteArray::number(image.width) +
                       " /Height " + QByteArray::number(image.height) +
                       " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode"
                       " /DecodeParms <</K -1 /Columns " +
                       QByteArray::number(image.width) + " /Rows " +
                       QByteArray::number(image.height) + ">>" +
                       (photometric == PHOTOMETRIC_MINISBLACK ? " /Decode [1 0]" : "");
    return true;
}

// A decoded page: 1-bit rows or RGB, deflated.
void DecodedImage(const QImage& decoded, PdfImage& image) {
    image.width = decoded.width();
    image.height = decoded.height();
    const bool mono = decoded.format() == QImage::Format_Mono && decoded.colorCount() == 2;
    const QImage page = mono ? decoded : decoded.convertToFormat(QImage::Format_RGB888);
    const auto rowBytes = static_cast<qsizetype>(mono ? (page.width() + 7) / 8 : page.width() * 3);
    QByteArray rows(rowBytes * page.height(), Qt::Uninitialized);
    for (int y = 0; y < page.height(); ++y)
        std::memcpy(rows.data() + rowBytes * y, page.constScanLine(y), size_t(rowBytes));
    image.data = Deflated(rows);
    image.dictionary = "/Type /XObject /Subtype /Image /Width " + QByteArray::number(image.width) +
                       " /Height " + QByteArray::number(image.height) +
                       (mono ? " /ColorSpace /DeviceGray /BitsPerComponent 1"
                             : " /ColorSpace /DeviceRGB /BitsPerComponent 8") +
                       " /Filter /FlateDecode";
    // 0 stands for the colour table's first entry; in DeviceGray 0 is black.
    if (mono && qGray(page.color(0)) > qGray(page.color(1)))
        image.dictionary += " /Decode [1 0]";
}

double Dpi(int dotsPerMetre, double fallback) {
    return dotsPerMetre > 0 ? dotsPerMetre * kMetresPerInch : fallback;
}

// The page's size at its resolution, from its tags; the fax's resolution where it has none.
void TaggedSize(TIFF* tiff, PdfImage& image) {
    float xres = 0;
    float yres = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    const double scale = unit == RESUNIT_CENTIMETER ? kCmPerInch : 1.0;
    const bool known = TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) &&
                       TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0 &&
                       unit != RESUNIT_NONE;
    const double dpiX = known ? xres * scale : kFaxDpiX;
    const double dpiY = known ? yres * scale : kFaxDpiY;
    image.widthPt = image.width / dpiX * kPointsPerInch;
    image.heightPt = image.height / dpiY * kPointsPerInch;
}

} // namespace

Result<QByteArray> FaxPdfBytes(const QByteArray& tiff, const QString& title) {
    MemoryTiff raw(tiff);
    if (!raw.Open())
        return Problem{0, {}, raw.Error()};
    TiffPages pages(tiff);
    if (pages.PageCount() == 0)
        return Problem{0, {}, pages.Problem()};

    PdfFile pdf;
    const int catalog = pdf.Reserve();
    const int tree = pdf.Reserve();
    const int info = pdf.Reserve();
    QByteArray kids;
    for (int index = 0; index < pages.PageCount(); ++index) {
        PdfImage image;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        raw.ClearMessages();
        const bool found = TIFFSetDirectory(raw.Handle(), static_cast<tdir_t>(index)) != 0;
        TIFFGetField(raw.Handle(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(raw.Handle(), TIFFTAG_IMAGELENGTH, &height);
        image.width = static_cast<int>(width);
        image.height = static_cast<int>(height);
        const bool sized =
            found && width > 0 && width <= kMaxPageWidth && height > 0 && height <= kMaxPageRows;
        if (sized)
            TaggedSize(raw.Handle(), image);
        if (!sized || !CodedImage(raw.Handle(), image)) {
            QString error;
            const QImage decoded = pages.DecodePage(index, error);
            if (decoded.isNull())
                return Problem{0, {}, error};
            DecodedImage(decoded, image);
            if (!sized) {
                image.widthPt =
                    image.width / Dpi(decoded.dotsPerMeterX(), kFaxDpiX) * kPointsPerInch;
                image.heightPt =
                    image.height / Dpi(decoded.dotsPerMeterY(), kFaxDpiY) * kPointsPerInch;
            }
        }
        const int page = pdf.Reserve();
        const int content = pdf.Reserve();
        const int picture = pdf.Reserve();
        const QByteArray pageWidth = Real(image.widthPt);
        const QByteArray pageHeight = Real(image.heightPt);
        pdf.Add(page, "<</Type /Page /Parent " + PdfFile::Ref(tree) + " /MediaBox [0 0 " +
                          pageWidth + ' ' + pageHeight + "] /Resources <</XObject <</P " +
                          PdfFile::Ref(picture) + ">> >> /Contents " + PdfFile::Ref(content) +
                          ">>");
        pdf.AddStream(content, {}, "q " + pageWidth + " 0 0 " + pageHeight + " 0 0 cm /P Do Q");
        pdf.AddStream(picture, image.dictionary, image.data);
        kids += PdfFile::Ref(page) + ' ';
    }
    pdf.Add(catalog, "<</Type /Catalog /Pages " + PdfFile::Ref(tree) + ">>");
    pdf.Add(tree, "<</Type /Pages /Kids [" + kids.trimmed() + "] /Count " +
                      QByteArray::number(pages.PageCount()) + ">>");
    pdf.Add(info, "<</Producer (KALMO!fax) /Title " + PdfText(title) + ">>");
    return pdf.Finish(catalog, info);
}

} // namespace faxapp
