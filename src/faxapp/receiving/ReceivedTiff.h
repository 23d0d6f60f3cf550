#pragma once

// Whether a fetched fax file is what a fax server writes: a TIFF whose every page decodes.
// The check can run while the file is still being written, so that decoding keeps pace with
// the transfer instead of following it.

#include "support/Result.h"

#include <QString>
#include <memory>

namespace faxapp {

// Checks the file on fd as its bytes arrive: workers (one a core, at most four) read it with
// libtiff, each waiting for the bytes it needs, and decode every row of every page. The
// check reads fd with pread only and does not own it.
class ReceivedTiffCheck {
public:
    ReceivedTiffCheck(int fd, QString name);
    // Stops the workers when Finish was not called.
    ~ReceivedTiffCheck();
    ReceivedTiffCheck(const ReceivedTiffCheck&) = delete;
    ReceivedTiffCheck& operator=(const ReceivedTiffCheck&) = delete;

    // The file now holds its first bytes bytes.
    void Grown(qint64 bytes);
    // No more bytes come: waits for the workers. The number of pages, or a problem naming the
    // page that does not decode, or why the file is no TIFF.
    Result<int> Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The check of a whole file at path.
Result<int> CheckReceivedTiff(const QString& path);

} // namespace faxapp
