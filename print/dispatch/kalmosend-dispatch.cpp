// kalmosend-dispatch: in the user's session, hands each job of the user's print spool to the
// send dialog, one at a time, in the order the jobs arrived.
//
//   kalmosend-dispatch [--once]   the jobs there are now, then ends (the systemd user service)
//   kalmosend-dispatch --watch    and then each job as it arrives (the autostart entry)
//
// A job is claimed by moving it into print-work, so two dispatchers never take the same job;
// a lock keeps them to one dialog at a time. kalmosend gets the document with /d (it moves
// the file into the fax spool or deletes it). A job that could not be claimed, whose dialog
// could not be started, or whose document kalmosend left behind, is moved to print-kept and
// the user is told.

#include "PrintChecks.h"
#include "UserSpool.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace kalmoprint;

namespace {

struct Folders {
    std::string path; // of the kalmo folder, for messages and the document's path
    Fd kalmo, spool, work, kept;
    std::set<std::string> stuck; // jobs that could be moved neither to work nor to kept
};

void Log(const std::string& text) {
    std::fprintf(stderr, "kalmosend-dispatch: %s\n", text.c_str());
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return runtime;
    return "/run/user/" + std::to_string(getuid());
}

bool OpenFolders(Folders& folders, SpoolError& error) {
    const std::string runtime = RuntimeFolder();
    const uid_t uid = getuid();
    Fd base(open(runtime.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.IsOpen()) {
        error = {errno, "cannot open the runtime folder " + runtime + ": " + std::strerror(errno)};
        return false;
    }
    folders.path = runtime + "/" + kKalmoFolder;
    folders.kalmo = OpenOwnedFolder(base.Get(), kKalmoFolder, uid, true, false, error);
    if (!folders.kalmo.IsOpen())
        return false;
    folders.spool = OpenOwnedFolder(folders.kalmo.Get(), kSpoolFolder, uid, true, true, error);
    if (folders.spool.IsOpen())
        folders.work = OpenOwnedFolder(folders.kalmo.Get(), kWorkFolder, uid, true, true, error);
    if (folders.work.IsOpen())
        folders.kept = OpenOwnedFolder(folders.kalmo.Get(), kKeptFolder, uid, true, true, error);
    return folders.kept.IsOpen();
}

// kalmosend beside this program, else on the PATH; KALMOSEND_PROGRAM names another.
std::string KalmosendProgram() {
    if (const char* program = std::getenv("KALMOSEND_PROGRAM"); program != nullptr && *program)
        return program;
    std::string self(PATH_MAX, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n > 0) {
        self.resize(static_cast<std::size_t>(n));
        std::string beside = self.substr(0, self.rfind('/') + 1) + "kalmosend";
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return "kalmosend";
}

// Runs the program and waits for it. -1 when it could not be started (errno in startError),
// else its exit status (128 + the signal when killed).
int RunAndWait(const std::vector<std::string>& args, int& startError) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        startError = errno;
        return -1;
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        startError = errno;
        close(report[0]);
        close(report[1]);
        return -1;
    }
    if (child == 0) {
        execvp(argv[0], argv.data());
        const int code = errno;
        (void)!write(report[1], &code, sizeof code);
        _exit(127);
    }
    close(report[1]);
    int code = 0;
    ssize_t got = 0;
    do {
        got = read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof code)) {
        startError = code;
        return -1;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// Tells the user: a desktop notification where there is one, and the log always.
void Tell(const std::string& summary, const std::string& body) {
    Log(summary + " " + body);
    int ignored = 0;
    RunAndWait({"notify-send", "--app-name=KALMO!fax", "--urgency=critical", summary, body},
               ignored);
}

void Keep(Folders& folders, const std::string& name, const std::string& why) {
    SpoolError error;
    const bool moved = MoveJob(folders.work.Get(), folders.kept.Get(), name, error);
    if (!moved) {
        // Left in print-work then: still not dropped, and the message says where it is.
        Log(error.what);
    }
    Tell("A fax print could not be handed to the send dialog.",
         why + " The document is kept in " + folders.path + "/" +
             (moved ? kKeptFolder : kWorkFolder) + "/" + name + "/" + kDocumentFile + ".");
}

// A job that cannot be claimed (for any reason but another dispatcher claiming it first) goes
// from the spool to print-kept, so that it is not tried again and again.
void KeepUnclaimed(Folders& folders, const std::string& name, const SpoolError& claimError) {
    SpoolError error;
    const bool moved = MoveJob(folders.spool.Get(), folders.kept.Get(), name, error);
    if (!moved) {
        Log(error.what);
        folders.stuck.insert(name); // left in the spool: not tried again by this dispatcher
    }
    Tell("A fax print could not be handed to the send dialog.",
         "The job could not be taken from the print spool (" + claimError.what +
             "). The document is kept in " + folders.path + "/" +
             (moved ? kKeptFolder : kSpoolFolder) + "/" + name + "/" + kDocumentFile + ".");
}

void HandOver(Folders& folders, const std::string& name) {
    SpoolError error;
    if (!MoveJob(folders.spool.Get(), folders.work.Get(), name, error)) {
        if (error.code != ENOENT)
            KeepUnclaimed(folders, name, error);
        return; // else another dispatcher took it
    }
    SpoolError folderError;
    const Fd job = OpenOwnedFolder(folders.work.Get(), name, getuid(), false, false, folderError);
    std::string title;
    if (!job.IsOpen() || !ReadTitle(job.Get(), title, error) || !HasDocument(job.Get())) {
        Keep(folders, name,
             "The job is damaged (" + (job.IsOpen() ? error.what : folderError.what) + ").");
        return;
    }
    const std::string document =
        folders.path + "/" + kWorkFolder + "/" + name + "/" + kDocumentFile;
    int startError = 0;
    const int status = RunAndWait({KalmosendProgram(), "/d" + document, "/t" + title}, startError);
    if (status < 0) {
        Keep(folders, name,
             std::string("The send dialog (kalmosend) could not be started: ") +
                 std::strerror(startError) + ".");
        return;
    }
    if (HasDocument(job.Get())) {
        Keep(folders, name,
             "The send dialog ended (status " + std::to_string(status) +
                 ") without taking the document.");
        return;
    }
    // 4: the user cancelled the dialog, which is no fault.
    if (status != 0 && status != 4)
        Log("kalmosend ended with status " + std::to_string(status) + " for \"" + title + "\"");
    RemoveJob(folders.work.Get(), name);
}

// Hands over every job in the spool, holding the lock that keeps dispatchers to one dialog.
void Drain(Folders& folders) {
    const int lock = openat(folders.kalmo.Get(), "dispatch.lock",
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        Log(std::string("cannot take the dispatch lock: ") + std::strerror(errno));
        if (lock >= 0)
            close(lock);
        return;
    }
    for (;;) {
        const std::vector<std::string> jobs = ListJobs(folders.spool.Get());
        const auto next = std::find_if(jobs.begin(), jobs.end(), [&](const std::string& name) {
            return folders.stuck.count(name) == 0;
        });
        if (next == jobs.end())
            break;
        HandOver(folders, *next);
    }
    close(lock);
}

int Watch(Folders& folders) {
    const Fd watch(inotify_init1(IN_CLOEXEC));
    const std::string spool = folders.path + "/" + kSpoolFolder;
    if (!watch.IsOpen() ||
        inotify_add_watch(watch.Get(), spool.c_str(),
                          IN_MOVED_TO | IN_CREATE | IN_ONLYDIR | IN_DONT_FOLLOW) < 0) {
        Log("cannot watch " + spool + ": " + std::strerror(errno));
        return 1;
    }
    for (;;) {
        Drain(folders);
        char events[4096];
        const ssize_t n = read(watch.Get(), events, sizeof events);
        if (n < 0 && errno != EINTR) {
            Log(std::string("watching the spool failed: ") + std::strerror(errno));
            return 1;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    bool watch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--watch") {
            watch = true;
        } else if (arg != "--once") {
            std::fprintf(stderr, "Usage: %s [--once | --watch]\n", argv[0]);
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    umask(077);
    if (getuid() == 0) {
        Log("runs in a user's session, not as root");
        return 2;
    }
    Folders folders;
    SpoolError error;
    if (!OpenFolders(folders, error)) {
        Log("the print spool is refused: " + error.what);
        return 1;
    }
    if (watch)
        return Watch(folders);
    Drain(folders);
    return 0;
}
