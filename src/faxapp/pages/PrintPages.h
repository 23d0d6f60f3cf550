#pragma once

// A print file's pages, whatever its format (recognised as the send dialog recognises it):
// SFF, colour (JPEG pages), TIFF, PCX or text. Pages are decoded when asked for.

#include "faxapp/pages/PageSource.h"

#include <QString>
#include <memory>

namespace faxapp {

class PrintPages {
public:
    static constexpr qint64 kMaxFileSize = qint64{256} * 1024 * 1024;

    // Reads the file; false with Error() set when it cannot be read or has no readable page.
    bool Open(const QString& path);
    // The same on bytes; name stands for the file in messages.
    bool OpenBytes(const QByteArray& bytes, const QString& name);

    int PageCount() const { return m_source ? m_source->PageCount() : 0; }
    std::int32_t Format() const { return m_format; }
    // The file's bytes as read; empty for an SFF file, which is read as its pages are shown.
    const QByteArray& Bytes() const { return m_bytes; }
    // Page index (from 0), or a null image with Error() set.
    QImage Page(int index);
    // The last problem: the file's, or the last page's that failed; names the file.
    QString Error() const { return m_error; }
    // What is wrong with the file beyond its readable pages (empty if nothing), named.
    QString Problem() const;
    int BadRows() const { return m_source ? m_source->BadRows() : 0; }

private:
    bool Opened();

    QString m_name;
    QByteArray m_bytes;
    std::int32_t m_format = 0;
    std::unique_ptr<PageSource> m_source;
    QString m_error;
};

} // namespace faxapp
