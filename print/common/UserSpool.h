#pragma once

// The user's print spool below the runtime folder (/run/user/<uid>/kalmo): the backend
// writes a job into "print-incoming" and publishes it with one rename into "print-spool";
// the dispatcher claims it with one rename into "print-work" and keeps jobs it could not
// hand over in "print-kept". A job is a folder holding "document.sff" and "title".
//
// Every step works on directory descriptors: each folder is opened with O_NOFOLLOW and
// checked to belong to the user and to be closed to others; files are made with O_EXCL and
// O_NOFOLLOW; nothing follows a symbolic link.

#include <ctime>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kalmoprint {

inline constexpr const char* kKalmoFolder = "kalmo";
inline constexpr const char* kSpoolFolder = "print-spool";
inline constexpr const char* kIncomingFolder = "print-incoming";
inline constexpr const char* kWorkFolder = "print-work";
inline constexpr const char* kKeptFolder = "print-kept";
inline constexpr const char* kDocumentFile = "document.sff";
inline constexpr const char* kTitleFile = "title";

// What failed: errno and a sentence for the log.
struct SpoolError {
    int code = 0;
    std::string what;
};

// An open file descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd();

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    int Release();

private:
    int m_fd = -1;
};

// Opens the folder name below parent (an absolute path when parent is AT_FDCWD) without
// following a link; with create, makes it (0700) when missing. The folder must belong to
// uid and must not be open to group or others for writing (closedToOthers: for reading
// either). On failure, error.code is the errno (ENOENT: it does not exist).
Fd OpenOwnedFolder(int parent, const std::string& name, uid_t uid, bool create, bool closedToOthers,
                   SpoolError& error);

// The user's runtime folder root/<uid> (root normally "/run/user"): must exist, belong to the
// user and be closed to others for writing. ENOENT when the user is not logged in.
Fd OpenRuntimeFolder(const std::string& root, uid_t uid, SpoolError& error);

// The folder name of a job: the time it arrived and its CUPS job id, so that names sort in
// the order the jobs arrived ("1765253000.000000123-42").
std::string MakeJobName(const timespec& arrived, std::string_view jobId);
bool IsJobName(std::string_view name);

// Writes one job into the incoming folder and publishes it into the spool.
class IncomingJob {
public:
    IncomingJob(int incomingFolder, std::string name);
    ~IncomingJob(); // removes what was not published
    IncomingJob(const IncomingJob&) = delete;
    IncomingJob& operator=(const IncomingJob&) = delete;

    // Makes the job's folder and its two files (O_EXCL, mode 0600).
    bool Create(SpoolError& error);
    int DocumentFd() const { return m_document.Get(); }
    bool WriteTitle(std::string_view title, SpoolError& error);
    // Flushes both files to disk and renames the job's folder into the spool; a folder of the
    // same name there is never replaced.
    bool Publish(int spoolFolder, SpoolError& error);

private:
    void Remove();

    int m_incoming;
    std::string m_name;
    Fd m_folder;
    Fd m_document;
    Fd m_title;
    bool m_created = false;
    bool m_published = false;
};

// The jobs waiting in the spool, oldest first.
std::vector<std::string> ListJobs(int spoolFolder);

// Moves the job from one folder to another (spool to work, work to kept) without replacing
// anything; false with ENOENT when another process took it first.
bool MoveJob(int from, int to, const std::string& name, SpoolError& error);

// Reads a job's title (at most kMaxTitleBytes, cleaned again: the file is the user's).
bool ReadTitle(int jobFolder, std::string& title, SpoolError& error);

// Whether the job's document is still there (a regular file, not a link).
bool HasDocument(int jobFolder);

// Removes a job's folder and what the backend put in it.
void RemoveJob(int parent, const std::string& name);

} // namespace kalmoprint
