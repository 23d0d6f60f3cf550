// Prints what a walk through an SFF document finds: "pages=N resolution=R,R,... complete=1".
// For the printer's shell test.

#include "SffWalk.h"

#include <cstdio>
#include <fstream>
#include <iterator>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s file.sff\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const SffWalk walk = WalkSff(data);
    std::printf("pages=%zu resolution=", walk.resolution.size());
    for (std::size_t i = 0; i < walk.resolution.size(); ++i)
        std::printf("%s%d", i ? "," : "", walk.resolution[i]);
    std::printf(" complete=%d\n", walk.complete ? 1 : 0);
    if (!walk.fault.empty())
        std::fprintf(stderr, "sffinfo: %s\n", walk.fault.c_str());
    return walk.complete ? 0 : 1;
}
