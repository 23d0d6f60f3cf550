// CUPS filter "pdftosff": PDF in (from CUPS's own filters), an SFF fax document out, made by
// Ghostscript's cfax device at the job's resolution and paper size.
//
//   pdftosff job-id user title copies options [file]
//
// CUPS runs it as its unprivileged user. It reads the printer's defaults from its PPD ($PPD)
// and the job's choices from the options, then becomes Ghostscript.

#include "GhostscriptArgs.h"
#include "PrintChecks.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kalmoprint;

namespace {

// The PPD's text, enough of it for its *Default lines.
std::string ReadPpd() {
    const char* path = std::getenv("PPD");
    std::string text;
    if (path == nullptr || *path == '\0')
        return text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[8192];
    ssize_t n = 0;
    while (text.size() < std::size_t{1024} * 1024 && (n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::string input = "-";
    if (argc == 7) {
        // CUPS names its own spool file; anything else is not taken.
        if (argv[6][0] != '/') {
            std::fputs("ERROR: KALMO!fax: the document's path is not absolute\n", stderr);
            return 1;
        }
        input = argv[6];
    }
    const FaxSettings settings = SettingsOf(ReadPpd(), argv[5]);
    const std::vector<std::string> args = GhostscriptArgs(settings, input);
    std::vector<char*> argvGs;
    argvGs.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argvGs.push_back(const_cast<char*>(arg.c_str()));
    argvGs.push_back(nullptr);
    std::fprintf(stderr, "INFO: KALMO!fax: converting to a fax document (%s)\n",
                 settings.resolution == FaxResolution::normal ? "204x98 dpi" : "204x196 dpi");
    std::fflush(stderr);
    execvp(argvGs[0], argvGs.data());
    std::fprintf(stderr, "ERROR: KALMO!fax: cannot start Ghostscript (gs): %s\n",
                 std::strerror(errno));
    return 1;
}
