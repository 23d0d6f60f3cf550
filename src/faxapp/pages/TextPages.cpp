#include "faxapp/pages/TextPages.h"

#include "fax/OemFile.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QStringDecoder>

namespace faxapp {

namespace {

constexpr int kMargin = 110; // pixels on every side

QString DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return COemFile::FromOem(bytes);
}

QString ExpandTabs(const QString& line) {
    QString out;
    for (const QChar c : line) {
        if (c == u'\t') {
            out.append(QString(8 - out.size() % 8, u' '));
        } else if (c.unicode() < 0x20) {
            out.append(u' '); // other control characters take their column blank
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

TextPages::TextPages(const QByteArray& bytes) {
    QString text = DecodeText(bytes);
    text.remove(u'\r');
    // A form feed that ends the text ends its last page, it starts no empty one.
    while (text.endsWith(u'\n') || text.endsWith(u'\f'))
        text.chop(1);
    QStringList page;
    const auto newPage = [&] {
        m_pages.append(page);
        page.clear();
    };
    for (const QString& piece : text.split(u'\f')) {
        if (m_pages.size() >= kMaxPages)
            break;
        if (!m_pages.isEmpty() || !page.isEmpty())
            newPage();
        const QStringList lines = piece.isEmpty() ? QStringList() : piece.split(u'\n');
        for (const QString& raw : lines) {
            QString line = ExpandTabs(raw);
            do {
                if (page.size() == kLinesPerPage)
                    newPage();
                page.append(line.left(kColumns));
                line.remove(0, kColumns);
            } while (!line.isEmpty());
            if (m_pages.size() >= kMaxPages)
                break;
        }
    }
    if (m_pages.size() >= kMaxPages) {
        m_problem = QStringLiteral("more than %1 pages").arg(kMaxPages);
        m_pages.resize(kMaxPages);
        return;
    }
    newPage();
}

QImage TextPages::DecodePage(int index, QString& error) {
    if (index < 0 || index >= m_pages.size()) {
        error = QStringLiteral("no page %1").arg(index + 1);
        return {};
    }
    QImage image(kPageWidth, kPageHeight, QImage::Format_Grayscale8);
    image.fill(255);
    image.setDotsPerMeterX(kFaxDotsPerMetreX);
    image.setDotsPerMeterY(kFaxDotsPerMetreY);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(100);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(u'M');
    const int available = kPageWidth - 2 * kMargin;
    font.setPixelSize(advance > 0 ? static_cast<int>(100 * available / (advance * kColumns)) : 30);
    const int lineHeight = (kPageHeight - 2 * kMargin) / kLinesPerPage;
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(font).ascent();
    int y = kMargin + ascent;
    for (const QString& line : m_pages[index]) {
        painter.drawText(kMargin, y, line);
        y += lineHeight;
    }
    return image;
}

} // namespace faxapp
