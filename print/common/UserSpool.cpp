#include "UserSpool.h"

#include "PrintChecks.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmoprint {

namespace {

bool Fail(SpoolError& error, int code, std::string what) {
    error.code = code;
    error.what = std::move(what);
    return false;
}

std::string Describe(int code) {
    return std::strerror(code);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = other.Release();
    }
    return *this;
}

Fd::~Fd() {
    if (m_fd >= 0)
        close(m_fd);
}

int Fd::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

Fd OpenOwnedFolder(int parent, const std::string& name, uid_t uid, bool create, bool closedToOthers,
                   SpoolError& error) {
    if (create && mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) {
        Fail(error, errno, "cannot make the folder " + name + ": " + Describe(errno));
        return Fd();
    }
    Fd folder(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.IsOpen()) {
        const int code = errno;
        // A link in place of the folder gives ELOOP or ENOTDIR: say so plainly.
        Fail(error, code,
             "cannot open the folder " + name + ": " +
                 (code == ELOOP || code == ENOTDIR ? std::string("not a folder (a link?)")
                                                   : Describe(code)));
        return Fd();
    }
    struct stat info {};
    if (fstat(folder.Get(), &info) != 0) {
        Fail(error, errno, "cannot examine the folder " + name + ": " + Describe(errno));
        return Fd();
    }
    if (info.st_uid != uid) {
        Fail(error, EPERM,
             "the folder " + name + " belongs to uid " + std::to_string(info.st_uid) +
                 ", not to uid " + std::to_string(uid));
        return Fd();
    }
    const mode_t forbidden = closedToOthers ? 077 : 022;
    if ((info.st_mode & forbidden) != 0) {
        Fail(error, EPERM, "the folder " + name + " is open to others");
        return Fd();
    }
    return folder;
}

Fd OpenRuntimeFolder(const std::string& root, uid_t uid, SpoolError& error) {
    // The root is ours ("/run/user"), not the user's.
    Fd base(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.IsOpen()) {
        Fail(error, errno, "cannot open " + root + ": " + Describe(errno));
        return Fd();
    }
    return OpenOwnedFolder(base.Get(), std::to_string(uid), uid, false, false, error);
}

std::string MakeJobName(const timespec& arrived, std::string_view jobId) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%010lld.%09ld-", static_cast<long long>(arrived.tv_sec),
                  static_cast<long>(arrived.tv_nsec));
    return std::string(stamp) + std::string(jobId);
}

bool IsJobName(std::string_view name) {
    if (name.size() < 22 || name[10] != '.' || name[20] != '-')
        return false;
    return AllDigits(name.substr(0, 10)) && AllDigits(name.substr(11, 9)) &&
           IsValidJobId(name.substr(21));
}

IncomingJob::IncomingJob(int incomingFolder, std::string name)
    : m_incoming(incomingFolder), m_name(std::move(name)) {}

IncomingJob::~IncomingJob() {
    if (m_created && !m_published)
        Remove();
}

bool IncomingJob::Create(SpoolError& error) {
    if (mkdirat(m_incoming, m_name.c_str(), 0700) != 0)
        return Fail(error, errno, "cannot make the job folder: " + Describe(errno));
    m_created = true;
    m_folder = OpenOwnedFolder(m_incoming, m_name, geteuid(), false, true, error);
    if (!m_folder.IsOpen())
        return false;
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    m_document = Fd(openat(m_folder.Get(), kDocumentFile, flags, 0600));
    if (!m_document.IsOpen())
        return Fail(error, errno, "cannot make the document file: " + Describe(errno));
    m_title = Fd(openat(m_folder.Get(), kTitleFile, flags, 0600));
    if (!m_title.IsOpen())
        return Fail(error, errno, "cannot make the title file: " + Describe(errno));
    return true;
}

bool IncomingJob::WriteTitle(std::string_view title, SpoolError& error) {
    if (!WriteAll(m_title.Get(), title.data(), title.size()))
        return Fail(error, errno, "cannot write the title: " + Describe(errno));
    return true;
}

bool IncomingJob::Publish(int spoolFolder, SpoolError& error) {
    if (fsync(m_document.Get()) != 0 || fsync(m_title.Get()) != 0 || fsync(m_folder.Get()) != 0)
        return Fail(error, errno, "cannot put the job on disk: " + Describe(errno));
    if (renameat2(m_incoming, m_name.c_str(), spoolFolder, m_name.c_str(), RENAME_NOREPLACE) != 0)
        return Fail(error, errno, "cannot put the job into the spool: " + Describe(errno));
    m_published = true;
    fsync(spoolFolder);
    return true;
}

void IncomingJob::Remove() {
    if (m_folder.IsOpen()) {
        unlinkat(m_folder.Get(), kDocumentFile, 0);
        unlinkat(m_folder.Get(), kTitleFile, 0);
    }
    unlinkat(m_incoming, m_name.c_str(), AT_REMOVEDIR);
}

std::vector<std::string> ListJobs(int spoolFolder) {
    std::vector<std::string> jobs;
    const int fd = openat(spoolFolder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return jobs;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return jobs;
    }
    while (const dirent* entry = readdir(dir)) {
        if (IsJobName(entry->d_name))
            jobs.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

bool MoveJob(int from, int to, const std::string& name, SpoolError& error) {
    if (renameat2(from, name.c_str(), to, name.c_str(), RENAME_NOREPLACE) != 0)
        return Fail(error, errno, "cannot move the job " + name + ": " + Describe(errno));
    return true;
}

bool ReadTitle(int jobFolder, std::string& title, SpoolError& error) {
    Fd file(openat(jobFolder, kTitleFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.IsOpen() || fstat(file.Get(), &info) != 0)
        return Fail(error, errno, std::string("cannot open the title: ") + Describe(errno));
    if (!S_ISREG(info.st_mode))
        return Fail(error, EINVAL, "the title is not a file");
    // The backend wrote at most kMaxTitleBytes; anything longer is cut like any title.
    std::string text(kMaxTitleBytes * 2, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(file.Get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error, errno, std::string("cannot read the title: ") + Describe(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    title = CleanTitle(text);
    return true;
}

bool HasDocument(int jobFolder) {
    struct stat info {};
    return fstatat(jobFolder, kDocumentFile, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode);
}

void RemoveJob(int parent, const std::string& name) {
    const int folder =
        openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        unlinkat(folder, kDocumentFile, 0);
        unlinkat(folder, kTitleFile, 0);
        close(folder);
    }
    unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

} // namespace kalmoprint
