#include "faxapp/pages/ColourPages.h"

#include <QBuffer>
#include <QImageReader>

namespace faxapp {

ColourPages::ColourPages(QByteArray bytes) : m_bytes(std::move(bytes)) {
    qsizetype at = 0;
    while (at < m_bytes.size()) {
        const qsizetype end = PictureEnd(m_bytes, at);
        if (end < 0) {
            m_problem = QStringLiteral("page %1 (at byte %2) is not a whole JPEG picture")
                            .arg(m_pages.size() + 1)
                            .arg(at);
            return;
        }
        if (m_pages.size() == kMaxPages) {
            m_problem = QStringLiteral("more than %1 pages").arg(kMaxPages);
            return;
        }
        m_pages.append({at, end});
        at = end;
    }
    if (m_pages.isEmpty())
        m_problem = QStringLiteral("the colour print has no pages");
}

qsizetype ColourPages::PictureEnd(const QByteArray& bytes, qsizetype begin) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (begin + 2 > size || data[begin] != 0xFF || data[begin + 1] != 0xD8)
        return -1;
    qsizetype at = begin + 2;
    while (at + 2 <= size) {
        if (data[at] != 0xFF)
            return -1;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xD9)
            return at + 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length follows
            at += 2;
            continue;
        }
        if (at + 4 > size)
            return -1;
        const qsizetype length = data[at + 2] << 8 | data[at + 3];
        if (length < 2)
            return -1;
        at += 2 + length;
        if (marker != 0xDA)
            continue;
        // Coded data after a scan header: it ends at the first marker other than a stuffed
        // zero or a restart marker.
        while (at + 1 < size) {
            if (data[at] == 0xFF && data[at + 1] != 0x00 &&
                !(data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7))
                break;
            ++at;
        }
    }
    return -1;
}

QImage ColourPages::DecodePage(int index, QString& error) {
    if (index < 0 || index >= m_pages.size()) {
        error = QStringLiteral("no page %1").arg(index + 1);
        return {};
    }
    const Range range = m_pages[index];
    QByteArray picture = m_bytes.mid(range.begin, range.end - range.begin);
    QBuffer buffer(&picture);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QSize size = reader.size();
    if (size.width() <= 0 || size.width() > kMaxPageWidth || size.height() <= 0 ||
        size.height() > kMaxPageRows ||
        static_cast<qint64>(size.width()) * size.height() > kMaxPixels) {
        error = QStringLiteral("page %1: picture size %2 x %3 is out of range")
                    .arg(index + 1)
                    .arg(size.width())
                    .arg(size.height());
        return {};
    }
    QImage image = reader.read();
    if (image.isNull())
        error = QStringLiteral("page %1: %2").arg(index + 1).arg(reader.errorString());
    return image;
}

} // namespace faxapp
