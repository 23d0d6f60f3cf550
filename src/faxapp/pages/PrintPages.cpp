#include "faxapp/pages/PrintPages.h"

#include "fax/PosixFile.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"
#include "faxapp/pages/ColourPages.h"
#include "faxapp/pages/PcxDecoder.h"
#include "faxapp/pages/SffDecoder.h"
#include "faxapp/pages/TextPages.h"
#include "faxapp/pages/TiffPages.h"

#include <cerrno>
#include <cstring>

namespace faxapp {

bool PrintPages::Open(const QString& path) {
    m_name = path;
    m_bytes.clear();
    m_source.reset();
    // A FIFO or device is refused rather than read without end.
    auto file = std::make_shared<PosixFile>();
    const auto failed = [&] {
        m_error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    if (!file->OpenRegular(path))
        return failed();
    const std::int64_t length = file->Length();
    if (length < 0)
        return failed();
    if (length > kMaxFileSize) {
        m_error =
            QStringLiteral("%1: the file is larger than %2 MiB").arg(path).arg(kMaxFileSize >> 20);
        return false;
    }
    unsigned char head[4] = {};
    const ssize_t headLength = file->ReadAt(head, sizeof head, 0);
    if (headLength < 0)
        return failed();
    if (DetectFormatOfBytes(head, static_cast<std::size_t>(headLength)) == kFormatSff) {
        // An SFF document is read as its pages are shown, not all at once.
        m_error.clear();
        m_format = kFormatSff;
        m_source = std::make_unique<SffDecoder>(std::move(file), length);
        return Opened();
    }
    QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
    const ssize_t n = file->ReadAt(bytes.data(), static_cast<std::size_t>(length), 0);
    if (n < 0)
        return failed();
    bytes.truncate(n);
    return OpenBytes(bytes, path);
}

bool PrintPages::Opened() {
    if (m_source->PageCount() == 0) {
        m_error = Problem();
        return false;
    }
    return true;
}

bool PrintPages::OpenBytes(const QByteArray& bytes, const QString& name) {
    m_name = name;
    m_bytes = bytes;
    m_error.clear();
    m_format = DetectFormatOfBytes(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
    switch (m_format) {
    case kFormatSff:
        m_source = std::make_unique<SffDecoder>(bytes);
        break;
    case kFormatColour:
        m_source = std::make_unique<ColourPages>(bytes);
        break;
    case kFormatTiff:
        m_source = std::make_unique<TiffPages>(bytes);
        break;
    case kFormatPcx:
        m_source = std::make_unique<PcxDecoder>(bytes);
        break;
    default:
        m_source = std::make_unique<TextPages>(bytes);
        break;
    }
    return Opened();
}

QImage PrintPages::Page(int index) {
    if (!m_source)
        return {};
    QString error;
    QImage image = m_source->DecodePage(index, error);
    if (image.isNull())
        m_error = QStringLiteral("%1: %2").arg(m_name, error);
    return image;
}

QString PrintPages::Problem() const {
    if (!m_source || m_source->Problem().isEmpty())
        return {};
    return QStringLiteral("%1: %2").arg(m_name, m_source->Problem());
}

} // namespace faxapp
