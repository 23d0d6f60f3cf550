#include "faxapp/receiving/ReceivedTiff.h"

#include "faxapp/pages/MemoryTiff.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace faxapp {

namespace {

// A fax page is 1728 or 2432 dots wide and a few thousand rows long; far beyond that, the
// file is not a fax and decoding it only takes memory and time.
constexpr uint32_t kMaxWidth = 10000;
constexpr uint32_t kMaxRows = 100000;
constexpr int kMaxPages = 10000;

struct Errors {
    QString first;
};

int OnError(TIFF* /*tiff*/, void* user, const char* /*module*/, const char* format, va_list args) {
    auto* errors = static_cast<Errors*>(user);
    if (errors->first.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        errors->first = QString::fromLocal8Bit(text);
    }
    return 1;
}

int OnWarning(TIFF* /*tiff*/, void* /*user*/, const char* /*module*/, const char* /*format*/,
              va_list /*args*/) {
    return 1; // unknown tags of fax servers and modems: nothing to tell
}

// The bytes written so far, shared by the writer and the workers.
class GrowingFile {
public:
    explicit GrowingFile(int fd) : m_fd(fd) {}

    void Grown(qint64 bytes) {
        {
            const std::lock_guard lock(m_mutex);
            m_size = std::max(m_size, bytes);
        }
        m_changed.notify_all();
    }
    void Finish() {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_all();
    }
    // Reads what is there of [offset, offset + size) once it is all there or no more comes.
    tmsize_t Read(qint64 offset, void* buffer, tmsize_t size) {
        qint64 there = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_finished || m_size >= offset + size; });
            there = m_size;
        }
        const qint64 wanted = std::clamp<qint64>(there - offset, 0, size);
        qint64 done = 0;
        while (done < wanted) {
            const ssize_t n = ::pread(m_fd, static_cast<char*>(buffer) + done,
                                      static_cast<size_t>(wanted - done), offset + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? -1 : static_cast<tmsize_t>(done);
            done += n;
        }
        return static_cast<tmsize_t>(done);
    }
    // The whole size, once no more comes.
    qint64 Size() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_finished; });
        return m_size;
    }

private:
    int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_size = 0;
    bool m_finished = false;
};

// One worker's place in the file, as libtiff moves it.
struct Reader {
    GrowingFile* file = nullptr;
    qint64 position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* reader = static_cast<Reader*>(handle);
    const tmsize_t n = reader->file->Read(reader->position, buffer, size);
    if (n > 0)
        reader->position += n;
    return n;
}

tmsize_t WriteProc(thandle_t /*handle*/, void* /*buffer*/, tmsize_t /*size*/) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* reader = static_cast<Reader*>(handle);
    const auto delta = static_cast<qint64>(offset);
    qint64 to = delta;
    if (whence == SEEK_CUR)
        to = reader->position + delta;
    else if (whence == SEEK_END)
        to = reader->file->Size() + delta;
    if (to < 0)
        return static_cast<toff_t>(-1);
    reader->position = to;
    return static_cast<toff_t>(to);
}

int CloseProc(thandle_t /*handle*/) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return static_cast<toff_t>(static_cast<Reader*>(handle)->file->Size());
}

int MapProc(thandle_t /*handle*/, void** /*base*/, toff_t* /*size*/) {
    return 0; // never mapped: the file is still growing
}

void UnmapProc(thandle_t /*handle*/, void* /*base*/, toff_t /*size*/) {}

struct Closer {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using Tiff = std::unique_ptr<TIFF, Closer>;

Tiff Open(const QString& name, Reader& reader, Errors& errors) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &errors);
    // A received fax comes from outside: its tags cannot make libtiff ask for more memory.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, MemoryTiff::kMaxSingleAllocation);
    Tiff tiff(TIFFClientOpenExt(QFile::encodeName(name).constData(), "rm", &reader, ReadProc,
                                WriteProc, SeekProc, CloseProc, SizeProc, MapProc, UnmapProc,
                                options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// Decodes every row of the current page; an empty text when it does, else what is wrong.
QString DecodePage(TIFF* tiff, const Errors& errors) {
    uint32_t width = 0;
    uint32_t rows = 0;
    uint16_t bits = 1;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &rows) || width == 0 || rows == 0 ||
        width > kMaxWidth || rows > kMaxRows) {
        return QStringLiteral(" has no fax page size");
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 1 || TIFFIsTiled(tiff))
        return QStringLiteral(" is not a black-and-white fax page");
    std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
    for (uint32_t r = 0; r < rows; ++r) {
        if (TIFFReadScanline(tiff, row.data(), r, 0) < 0 || !errors.first.isEmpty())
            return QStringLiteral(", row %1 does not decode").arg(r + 1);
    }
    return {};
}

// What one worker found: the pages, or the first trouble on its way (its place: 0 for a file
// libtiff does not open, else the page).
struct Share {
    int pages = 0;
    int troubleAt = -1;
    QString trouble;
    Errors errors;

    void Found(int at, const QString& what) {
        troubleAt = at;
        trouble = errors.first.isEmpty() ? what : what + QStringLiteral(": ") + errors.first;
    }
};

// Walks every page's directory, as its bytes arrive, and decodes the pages first, first +
// step, ... (counted from 1).
void DecodeShare(GrowingFile& file, const QString& name, int first, int step, Share& share) {
    Reader reader{&file, 0};
    const Tiff tiff = Open(name, reader, share.errors);
    if (!tiff) {
        share.Found(0, QStringLiteral("not a TIFF file"));
        return;
    }
    for (int page = 1;; ++page) {
        if ((page - first) % step == 0) {
            const QString what = DecodePage(tiff.get(), share.errors);
            if (!what.isEmpty()) {
                share.Found(page, QStringLiteral("page %1").arg(page) + what);
                return;
            }
        }
        if (!TIFFReadDirectory(tiff.get())) {
            if (!share.errors.first.isEmpty())
                share.Found(page + 1, QStringLiteral("after page %1").arg(page));
            else
                share.pages = page;
            return;
        }
        if (page == kMaxPages) {
            share.Found(page + 1, QStringLiteral("more than %1 pages").arg(kMaxPages));
            return;
        }
    }
}

} // namespace

struct ReceivedTiffCheck::Impl {
    Impl(int fd, QString fileName) : file(fd), name(std::move(fileName)) {}

    GrowingFile file;
    QString name;
    std::vector<Share> shares;
    std::vector<std::thread> workers;
};

ReceivedTiffCheck::ReceivedTiffCheck(int fd, QString name)
    : m_impl(std::make_unique<Impl>(fd, std::move(name))) {
    const int count = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    m_impl->shares.resize(static_cast<size_t>(count));
    for (int w = 0; w < count; ++w)
        m_impl->workers.emplace_back(DecodeShare, std::ref(m_impl->file), m_impl->name, w + 1,
                                     count, std::ref(m_impl->shares[static_cast<size_t>(w)]));
}

ReceivedTiffCheck::~ReceivedTiffCheck() {
    m_impl->file.Finish(); // a worker still waiting reads the end of what is there and stops
    for (std::thread& worker : m_impl->workers)
        worker.join();
}

void ReceivedTiffCheck::Grown(qint64 bytes) {
    m_impl->file.Grown(bytes);
}

Result<int> ReceivedTiffCheck::Finish() {
    m_impl->file.Finish();
    for (std::thread& worker : m_impl->workers)
        worker.join();
    m_impl->workers.clear();
    // The trouble nearest the start: a worker stops at its first, and another may have
    // passed that place without decoding the page.
    const Share* first = nullptr;
    for (const Share& share : m_impl->shares) {
        if (share.troubleAt >= 0 && (first == nullptr || share.troubleAt < first->troubleAt))
            first = &share;
    }
    if (first != nullptr)
        return Problem{0, m_impl->name, first->trouble};
    return m_impl->shares.front().pages;
}

Result<int> CheckReceivedTiff(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return Problem{0, path, QString::fromLocal8Bit(std::strerror(error))};
    }
    Result<int> result = [&] {
        ReceivedTiffCheck check(fd, path);
        check.Grown(info.st_size);
        return check.Finish();
    }();
    ::close(fd);
    return result;
}

} // namespace faxapp
