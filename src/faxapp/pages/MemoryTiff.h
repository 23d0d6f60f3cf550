#pragma once

// libtiff reading a TIFF held in memory, its messages collected instead of printed, so that
// a damaged file ends in one clear message and a damaged row can be told from a good one.

#include <QByteArray>
#include <QString>
#include <tiffio.h>

namespace faxapp {

class MemoryTiff {
public:
    // libtiff's own allocations for one file stay below this (its max single allocation):
    // a file from outside cannot make it ask for more.
    static constexpr tmsize_t kMaxSingleAllocation = tmsize_t{256} * 1024 * 1024;

    explicit MemoryTiff(QByteArray bytes);
    ~MemoryTiff();
    MemoryTiff(const MemoryTiff&) = delete;
    MemoryTiff& operator=(const MemoryTiff&) = delete;

    // Opens the first directory; false with Error() set when libtiff refuses the bytes.
    bool Open();
    TIFF* Handle() const { return m_tiff; }

    // Whether libtiff reported an error or a warning since the last ClearMessages().
    bool HadMessage() const { return m_hadMessage; }
    void ClearMessages() {
        m_hadMessage = false;
        m_error.clear();
    }
    // The first error since the last ClearMessages(), if any.
    QString Error() const { return m_error; }

private:
    static tsize_t Read(thandle_t handle, tdata_t buffer, tsize_t size);
    static tsize_t Write(thandle_t, tdata_t, tsize_t) { return 0; }
    static toff_t Seek(thandle_t handle, toff_t offset, int whence);
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t handle);
    static int Map(thandle_t handle, tdata_t* base, toff_t* size);
    static void Unmap(thandle_t, tdata_t, toff_t) {}
    static int OnError(TIFF*, void* self, const char* module, const char* format, va_list args);
    static int OnWarning(TIFF*, void* self, const char* module, const char* format, va_list args);

    QByteArray m_bytes;
    toff_t m_position = 0;
    TIFF* m_tiff = nullptr;
    bool m_hadMessage = false;
    QString m_error;
};

} // namespace faxapp
