#include "faxapp/pages/MemoryTiff.h"

#include <cstdio>
#include <cstring>

namespace faxapp {

MemoryTiff::MemoryTiff(QByteArray bytes) : m_bytes(std::move(bytes)) {}

MemoryTiff::~MemoryTiff() {
    if (m_tiff)
        TIFFClose(m_tiff);
}

bool MemoryTiff::Open() {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
    m_tiff =
        TIFFClientOpenExt("memory", "r", this, Read, Write, Seek, Close, Size, Map, Unmap, options);
    TIFFOpenOptionsFree(options);
    if (!m_tiff && m_error.isEmpty())
        m_error = QStringLiteral("not a readable TIFF file");
    return m_tiff != nullptr;
}

tsize_t MemoryTiff::Read(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* self = static_cast<MemoryTiff*>(handle);
    const auto length = static_cast<toff_t>(self->m_bytes.size());
    if (size <= 0 || self->m_position >= length)
        return 0;
    const toff_t n = std::min<toff_t>(static_cast<toff_t>(size), length - self->m_position);
    std::memcpy(buffer, self->m_bytes.constData() + self->m_position, n);
    self->m_position += n;
    return static_cast<tsize_t>(n);
}

toff_t MemoryTiff::Seek(thandle_t handle, toff_t offset, int whence) {
    auto* self = static_cast<MemoryTiff*>(handle);
    const auto length = static_cast<toff_t>(self->m_bytes.size());
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = self->m_position;
    else if (whence == SEEK_END)
        base = length;
    // Offsets are unsigned: a step back from the current position arrives wrapped around.
    self->m_position = base + offset;
    return self->m_position;
}

toff_t MemoryTiff::Size(thandle_t handle) {
    return static_cast<toff_t>(static_cast<MemoryTiff*>(handle)->m_bytes.size());
}

int MemoryTiff::Map(thandle_t handle, tdata_t* base, toff_t* size) {
    auto* self = static_cast<MemoryTiff*>(handle);
    // libtiff only reads through the mapping.
    *base = const_cast<char*>(self->m_bytes.constData());
    *size = static_cast<toff_t>(self->m_bytes.size());
    return 1;
}

int MemoryTiff::OnError(TIFF*, void* self, const char*, const char* format, va_list args) {
    auto* tiff = static_cast<MemoryTiff*>(self);
    tiff->m_hadMessage = true;
    if (tiff->m_error.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        tiff->m_error = QString::fromLocal8Bit(text);
    }
    return 1; // handled: nothing on stderr
}

int MemoryTiff::OnWarning(TIFF*, void* self, const char*, const char*, va_list) {
    static_cast<MemoryTiff*>(self)->m_hadMessage = true;
    return 1;
}

} // namespace faxapp
