#include "faxapp/pages/PagesPdf.h"

#include "fax/PrintFileInfo.h"
#include "faxapp/pages/FaxPdf.h"
#include "faxapp/pages/PrintPages.h"
#include "support/FileUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace faxapp {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kMetresPerInch = 0.0254;
constexpr double kFaxDpiX = 204.0;
constexpr double kFaxDpiY = 196.0;

double Dpi(int dotsPerMetre, double fallback) {
    return dotsPerMetre > 0 ? dotsPerMetre * kMetresPerInch : fallback;
}

} // namespace

QSizeF PageSizeMm(const QImage& page) {
    return {page.width() / Dpi(page.dotsPerMeterX(), kFaxDpiX) * kMmPerInch,
            page.height() / Dpi(page.dotsPerMeterY(), kFaxDpiY) * kMmPerInch};
}

Result<void> WritePagesPdf(const QString& path, int count,
                           const std::function<QImage(int, QString&)>& page, const QString& title) {
    if (count <= 0)
        return Problem{0, path, QStringLiteral("there is no page")};
    const QString temporary = QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                              QFileInfo(path).fileName() + QStringLiteral(".part");
    QFile::remove(temporary);
    {
        // Made private before the writer fills it.
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return Problem{0, path, file.errorString()};
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QString error;
    bool ok = true;
    {
        QPdfWriter writer(temporary);
        writer.setCreator(QStringLiteral("KALMO!fax"));
        writer.setTitle(title);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        for (int index = 0; index < count && ok; ++index) {
            const QImage image = page(index, error);
            if (image.isNull()) {
                ok = false;
                break;
            }
            writer.setPageSize(QPageSize(PageSizeMm(image), QPageSize::Millimeter));
            if (index == 0 ? !painter.begin(&writer) : !writer.newPage()) {
                error = QStringLiteral("the PDF cannot be written");
                ok = false;
                break;
            }
            // The whole page, without smoothing: a fax's black and white stays sharp.
            painter.drawImage(QRect(QPoint(0, 0), QSize(writer.width(), writer.height())), image);
        }
        if (painter.isActive())
            painter.end();
    }
    QFile written(temporary);
    if (ok && written.size() == 0) {
        error = QStringLiteral("the PDF cannot be written");
        ok = false;
    }
    if (ok) {
        if (written.open(QIODevice::ReadWrite)) {
            const int fd = written.handle();
            ok = ::fdatasync(fd) == 0;
            written.close();
        }
        if (!ok)
            error = QStringLiteral("the PDF cannot be put on disk");
    }
    if (ok && std::rename(QFile::encodeName(temporary).constData(),
                          QFile::encodeName(path).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        QFile::remove(temporary);
        return Problem{0, path, error};
    }
    return {};
}

Result<void> WritePagesPdf(const QString& path, PrintPages& pages, const QString& title) {
    // A TIFF's pages go in as they are coded where PDF reads that coding, else without
    // drawing them.
    if (pages.Format() == kFormatTiff && !pages.Bytes().isEmpty()) {
        Result<QByteArray> pdf = FaxPdfBytes(pages.Bytes(), title);
        if (!pdf)
            return Problem{0, path, pdf.Error().reason};
        return ReplaceFilePrivately(path, *pdf);
    }
    return WritePagesPdf(
        path, pages.PageCount(),
        [&pages](int index, QString& error) {
            QImage image = pages.Page(index);
            if (image.isNull())
                error = pages.Error();
            return image;
        },
        title);
}

} // namespace faxapp
