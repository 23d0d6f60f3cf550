#include "faxapp/pages/PcxDecoder.h"

#include <cmath>
#include <vector>

namespace faxapp {

namespace {

constexpr qsizetype kHeaderSize = 128;
constexpr qsizetype kPaletteSize = 769; // 0x0C, then 256 RGB triples, at the end of the file

int Le16(const QByteArray& bytes, qsizetype at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

} // namespace

PcxDecoder::PcxDecoder(QByteArray bytes) : m_bytes(std::move(bytes)) {
    if (m_bytes.size() < kHeaderSize || m_bytes.at(0) != 0x0A || m_bytes.at(2) != 1) {
        m_problem = QStringLiteral("not a run-length coded PCX picture");
        return;
    }
    m_bits = static_cast<unsigned char>(m_bytes.at(3));
    m_width = Le16(m_bytes, 8) - Le16(m_bytes, 4) + 1;
    m_height = Le16(m_bytes, 10) - Le16(m_bytes, 6) + 1;
    m_planes = static_cast<unsigned char>(m_bytes.at(65));
    m_bytesPerLine = Le16(m_bytes, 66);
    const bool known = (m_bits == 1 && m_planes == 1) || (m_bits == 8 && m_planes == 1) ||
                       (m_bits == 8 && m_planes == 3);
    if (!known) {
        m_problem = QStringLiteral("%1 bits in %2 planes are not supported (1, 8 or 24 bits)")
                        .arg(m_bits)
                        .arg(m_planes);
    } else if (m_width <= 0 || m_width > kMaxPageWidth || m_height <= 0 ||
               m_height > kMaxPageRows) {
        m_problem = QStringLiteral("size %1 x %2 is out of range").arg(m_width).arg(m_height);
    } else if (m_bytesPerLine < (m_width * m_bits + 7) / 8 ||
               m_bytesPerLine > (m_width * m_bits + 7) / 8 + 64) {
        m_problem = QStringLiteral("%1 bytes per row do not fit %2 pixels")
                        .arg(m_bytesPerLine)
                        .arg(m_width);
    } else if (m_bits == 8 && m_planes == 1 &&
               (m_bytes.size() < kHeaderSize + kPaletteSize ||
                m_bytes.at(m_bytes.size() - kPaletteSize) != 0x0C)) {
        m_problem = QStringLiteral("the 256-colour palette is missing");
    } else if (m_bits != 1 && static_cast<qint64>(m_width) * m_height > kMaxPixels) {
        m_problem = QStringLiteral("%1 x %2 pixels are too many").arg(m_width).arg(m_height);
    }
}

QImage PcxDecoder::DecodePage(int index, QString& error) {
    if (index != 0 || !m_problem.isEmpty()) {
        error = m_problem.isEmpty() ? QStringLiteral("no page %1").arg(index + 1) : m_problem;
        return {};
    }
    // The run-length data of all rows, decoded as one stream: writers let runs cross rows.
    const qsizetype rowBytes = static_cast<qsizetype>(m_bytesPerLine) * m_planes;
    const qsizetype total = rowBytes * m_height;
    std::vector<unsigned char> plain(static_cast<std::size_t>(total));
    const auto* data = reinterpret_cast<const unsigned char*>(m_bytes.constData());
    qsizetype end = m_bytes.size();
    if (m_bits == 8 && m_planes == 1)
        end -= kPaletteSize;
    qsizetype in = kHeaderSize;
    qsizetype out = 0;
    while (out < total) {
        if (in >= end) {
            error = QStringLiteral("the picture data ends after %1 of %2 rows")
                        .arg(out / rowBytes)
                        .arg(m_height);
            return {};
        }
        unsigned char value = data[in++];
        qsizetype count = 1;
        if ((value & 0xC0) == 0xC0) {
            count = value & 0x3F;
            if (in >= end) {
                error = QStringLiteral("the picture data ends inside a run");
                return {};
            }
            value = data[in++];
        }
        count = std::min(count, total - out);
        std::fill_n(plain.begin() + out, count, value);
        out += count;
    }

    QImage image;
    if (m_bits == 1) {
        image = QImage(m_width, m_height, QImage::Format_Mono);
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)}); // PCX: 1 is white
    } else if (m_planes == 1) {
        image = QImage(m_width, m_height, QImage::Format_Indexed8);
        QList<QRgb> palette;
        const unsigned char* p = data + m_bytes.size() - kPaletteSize + 1;
        for (int i = 0; i < 256; ++i, p += 3)
            palette.append(qRgb(p[0], p[1], p[2]));
        image.setColorTable(palette);
    } else {
        image = QImage(m_width, m_height, QImage::Format_RGB888);
    }
    if (image.isNull()) {
        error = QStringLiteral("out of memory");
        return {};
    }
    for (int y = 0; y < m_height; ++y) {
        const unsigned char* row = plain.data() + static_cast<qsizetype>(y) * rowBytes;
        uchar* line = image.scanLine(y);
        if (m_planes == 1) {
            std::copy_n(row, (m_width * m_bits + 7) / 8, line);
            continue;
        }
        const qsizetype plane = m_bytesPerLine;
        for (qsizetype x = 0; x < m_width; ++x) { // planes red, green, blue, one after the other
            line[3 * x] = row[x];
            line[3 * x + 1] = row[plane + x];
            line[3 * x + 2] = row[2 * plane + x];
        }
    }
    const int hdpi = Le16(m_bytes, 12);
    const int vdpi = Le16(m_bytes, 14);
    if (hdpi > 0 && vdpi > 0) {
        image.setDotsPerMeterX(static_cast<int>(std::lround(hdpi * 100 / 2.54)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(vdpi * 100 / 2.54)));
    }
    return image;
}

} // namespace faxapp
