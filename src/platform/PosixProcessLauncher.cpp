#include "platform/PosixProcessLauncher.h"

#include "support/FileUtil.h"

#include <QByteArrayList>
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

void WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// posix_spawn's attribute and file-action objects, destroyed on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    bool haveActions = false;
    bool haveAttributes = false;

    ~SpawnSetup() {
        if (haveActions)
            posix_spawn_file_actions_destroy(&actions);
        if (haveAttributes)
            posix_spawnattr_destroy(&attributes);
    }
};

} // namespace

bool PosixProcessLauncher::Start(const ProcessStart& start) {
    if (start.program.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    const QByteArray program = NativePath(start.program);
    QByteArrayList arguments{program};
    for (const QString& argument : start.arguments)
        arguments.append(argument.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(static_cast<std::size_t>(arguments.size()) + 1);
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    int rc = posix_spawn_file_actions_init(&setup.actions);
    if (rc != 0) {
        errno = rc;
        return false;
    }
    setup.haveActions = true;
    const QByteArray folder = NativePath(start.workingDirectory);
    if (!folder.isEmpty())
        rc = posix_spawn_file_actions_addchdir_np(&setup.actions, folder.constData());
    // The child inherits no open files beyond the standard three.
    if (rc == 0)
        rc = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    if (rc == 0)
        rc = posix_spawnattr_init(&setup.attributes);
    if (rc != 0) {
        errno = rc;
        return false;
    }
    setup.haveAttributes = true;
    // The child starts with default signal handling, whatever this process changed.
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    rc = posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes, argv.data(),
                     environ);
    if (rc != 0) {
        errno = rc;
        return false;
    }
    if (start.wait)
        WaitFor(pid);
    else
        std::thread(WaitFor, pid).detach();
    return true;
}
