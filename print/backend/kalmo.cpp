// CUPS backend "kalmo:": hands a printed fax to the send dialog in the session of the user who
// printed it, by putting the SFF document and its title into that user's print spool
// (/run/user/<uid>/kalmo/print-spool), where kalmosend-dispatch picks it up.
//
// CUPS runs it as root (it is installed mode 0700) so that it can become the job's user: it
// checks the user and that CUPS authenticated them, opens the spool file CUPS names (a job
// without filters), switches to the user before it touches any other path, and from then on
// opens nothing as root.
//
// KALMO_MAX_DOCUMENT_MIB (SetEnv in cups-files.conf) bounds the document; 256 MiB by default.
//
//   kalmo                                         the discovery line for lpinfo -v
//   kalmo job-id user title copies options [file]

#include "PrintChecks.h"
#include "UserSpool.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace kalmoprint;

namespace {

volatile sig_atomic_t g_cancelled = 0;

extern "C" void OnTerminate(int /*signal*/) {
    g_cancelled = 1;
}

void Say(const char* kind, const std::string& text) {
    std::fprintf(stderr, "%s: KALMO!fax: %s\n", kind, text.c_str());
}

// The job's user, or nothing (with the reason said).
bool LookUpUser(const char* name, passwd& entry, std::vector<char>& buffer) {
    if (!IsValidUserName(name)) {
        Say("ERROR", "the job's user name is not a valid user name; the job is refused");
        return false;
    }
    passwd* found = nullptr;
    buffer.resize(16384);
    if (getpwnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        Say("ERROR", std::string("the user \"") + name + "\" is unknown; the job is refused");
        return false;
    }
    if (entry.pw_uid == 0) {
        Say("ERROR", "jobs of root are refused: print as the user who is to send the fax");
        return false;
    }
    return true;
}

// Becomes the user for good. Run unprivileged (tests, by hand), the process must be the
// job's user already.
bool BecomeUser(const passwd& user) {
    if (geteuid() != 0 || getuid() != 0) {
        if (getuid() == user.pw_uid && geteuid() == user.pw_uid)
            return true;
        Say("ERROR", "not run as root, so jobs of other users cannot be taken");
        return false;
    }
    if (initgroups(user.pw_name, user.pw_gid) != 0 || setgid(user.pw_gid) != 0 ||
        setuid(user.pw_uid) != 0) {
        Say("ERROR", std::string("cannot switch to the job's user: ") + std::strerror(errno));
        return false;
    }
    // No way back.
    if (setuid(0) == 0 || geteuid() == 0 || getegid() == 0) {
        Say("ERROR", "the switch to the job's user did not hold");
        return false;
    }
    return true;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t w = write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            Say("ERROR", std::string("cannot write the document into the print spool: ") +
                             std::strerror(errno));
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return true;
}

// Copies the document into the job's file through the SFF check, which refuses anything but
// SFF and joins the documents of a job of several files into one; a document larger than
// maxBytes is refused before more than that is written.
int CopyDocument(int input, int output, std::uint64_t maxBytes) {
    SffStreamCheck check;
    std::vector<unsigned char> buffer(65536);
    std::string out;
    out.reserve(buffer.size() + 32);
    std::uint64_t written = 0;
    const auto fits = [&] {
        written += out.size();
        if (written <= maxBytes)
            return true;
        Say("ERROR", "the document is larger than " +
                         std::to_string(maxBytes / (std::uint64_t{1024} * 1024)) +
                         " MiB (KALMO_MAX_DOCUMENT_MIB); the job is refused");
        return false;
    };
    for (;;) {
        if (g_cancelled)
            return kBackendFailed;
        const ssize_t n = read(input, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Say("ERROR", std::string("cannot read the document: ") + std::strerror(errno));
            return kBackendFailed;
        }
        if (n == 0)
            break;
        out.clear();
        check.Feed(buffer.data(), static_cast<std::size_t>(n), out);
        if (!fits() || !WriteAll(output, out))
            return kBackendFailed;
    }
    out.clear();
    if (const auto fault = check.Finish(out)) {
        Say("ERROR", "the document is refused: " + *fault);
        return kBackendFailed;
    }
    return fits() && WriteAll(output, out) ? kBackendOk : kBackendFailed;
}

// The spool file CUPS names for a job without filters, opened as root: it is root's. Only a
// regular file is read.
Fd OpenSpoolFile(const char* path) {
    Fd file(open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.IsOpen() || fstat(file.Get(), &info) != 0) {
        Say("ERROR", std::string("cannot open the document: ") + std::strerror(errno));
        return Fd();
    }
    if (!S_ISREG(info.st_mode)) {
        Say("ERROR", "the document is not a file");
        return Fd();
    }
    return file;
}

int Run(int argc, char* argv[]) {
    const std::string jobId = argv[1];
    if (!IsValidJobId(jobId)) {
        Say("ERROR", "the job id is not a number");
        return kBackendFailed;
    }
    // Only a backend started without privileges (tests, by hand) may be told another root for
    // the runtime folders.
    const bool privileged = getuid() == 0 || geteuid() == 0;
    passwd user{};
    std::vector<char> userBuffer;
    if (!LookUpUser(argv[2], user, userBuffer))
        return kBackendFailed;
    // Run unprivileged, the process is the user already (BecomeUser checks it).
    if (privileged) {
        if (const auto refused = CheckAuthenticatedUser(
                std::getenv("AUTH_UID"), std::getenv("AUTH_USERNAME"),
                std::getenv("AUTH_INFO_REQUIRED"), user.pw_name, user.pw_uid)) {
            Say("ERROR", *refused + "; the job is refused");
            return kBackendFailed;
        }
    }
    auto maxBytes = MaxDocumentBytes(std::getenv("KALMO_MAX_DOCUMENT_MIB"));
    if (!maxBytes) {
        Say("WARNING", "KALMO_MAX_DOCUMENT_MIB is not a number of MiB from 1 to 1048576; " +
                           std::to_string(kDefaultMaxDocumentMib) + " MiB it is");
        maxBytes = MaxDocumentBytes(nullptr);
    }
    Fd document;
    if (argc == 7) {
        document = OpenSpoolFile(argv[6]);
        if (!document.IsOpen())
            return kBackendFailed;
    }
    if (!BecomeUser(user))
        return kBackendFailed;
    umask(077);

    // From here on, everything is done as the user.
    std::string runtimeRoot = "/run/user";
    if (!privileged) {
        if (const char* root = std::getenv("KALMO_RUNTIME_ROOT"); root != nullptr && *root)
            runtimeRoot = root;
    }
    SpoolError error;
    const Fd runtime = OpenRuntimeFolder(runtimeRoot, user.pw_uid, error);
    if (!runtime.IsOpen()) {
        if (error.code == ENOENT) {
            Say("INFO", std::string("the user \"") + user.pw_name +
                            "\" is not logged in; the job is held until they are (release it "
                            "then with: lp -i " +
                            jobId + " -H resume)");
            Say("ERROR", std::string("the user \"") + user.pw_name +
                             "\" is not logged in (no runtime folder); the job is held");
            return kBackendHold;
        }
        Say("ERROR", "the user's runtime folder is refused: " + error.what);
        return kBackendFailed;
    }
    const Fd kalmo = OpenOwnedFolder(runtime.Get(), kKalmoFolder, user.pw_uid, true, false, error);
    Fd spool, incoming;
    if (kalmo.IsOpen())
        spool = OpenOwnedFolder(kalmo.Get(), kSpoolFolder, user.pw_uid, true, true, error);
    if (spool.IsOpen())
        incoming = OpenOwnedFolder(kalmo.Get(), kIncomingFolder, user.pw_uid, true, true, error);
    if (!incoming.IsOpen()) {
        Say("ERROR", "the user's print spool is refused: " + error.what);
        return kBackendFailed;
    }

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    IncomingJob job(incoming.Get(), MakeJobName(now, jobId));
    if (!job.Create(error) || !job.WriteTitle(CleanTitle(argv[3]), error)) {
        Say("ERROR", error.what);
        return kBackendFailed;
    }
    std::fputs("STATE: +connecting-to-device\n", stderr);
    const int copied =
        CopyDocument(document.IsOpen() ? document.Get() : 0, job.DocumentFd(), *maxBytes);
    std::fputs("STATE: -connecting-to-device\n", stderr);
    if (copied != kBackendOk)
        return copied;
    if (g_cancelled)
        return kBackendFailed;
    if (!job.Publish(spool.Get(), error)) {
        Say("ERROR", error.what);
        return kBackendFailed;
    }
    Say("INFO", std::string("handed to the send dialog of ") + user.pw_name);
    return kBackendOk;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 1) {
        std::puts("direct kalmo:/ \"KALMO!fax\" \"KALMO!fax send dialog\"");
        return kBackendOk;
    }
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return kBackendFailed;
    }
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    setbuf(stderr, nullptr);
    return Run(argc, argv);
}
