// The printer backend's check of the SFF stream it copies into a job, any bytes. The verdict,
// the pages counted and the bytes passed on do not depend on how the stream arrives: all at
// once, a byte at a time or in pieces of any size. What the check passes on is one whole
// document as the record walk of the other programs reads it, with the pages counted; and a
// single whole document with pages, as that walk reads it, passes unchanged.

#include "../print/SffWalk.h"
#include "FuzzInput.h"
#include "PrintChecks.h"

#include <string>
#include <vector>

using kalmoprint::SffStreamCheck;

namespace {

struct Outcome {
    std::string out;
    std::optional<std::string> fault;
    int pages = 0;
};

// The stream fed in pieces of the given sizes (cycled; none: all at once).
Outcome Check(const unsigned char* data, std::size_t size, const std::vector<std::size_t>& pieces) {
    SffStreamCheck check;
    Outcome outcome;
    std::size_t at = 0;
    for (std::size_t i = 0; at < size; ++i) {
        const std::size_t piece =
            pieces.empty() ? size : std::min(pieces[i % pieces.size()], size - at);
        check.Feed(data + at, piece, outcome.out);
        at += piece;
    }
    outcome.fault = check.Finish(outcome.out);
    outcome.pages = check.Pages();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // Pieces of 1 to 4096 bytes, chosen by a hash of the bytes.
    std::uint32_t hash = 2166136261U;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619U;
    std::vector<std::size_t> pieces;
    for (int i = 0; i < 16; ++i) {
        hash = hash * 1103515245U + 12345U;
        pieces.push_back(1 + (hash >> 8) % (i % 2 == 0 ? 7 : 4096));
    }
    const Outcome whole = Check(data, size, {});
    for (const Outcome& other : {Check(data, size, {1}), Check(data, size, pieces)}) {
        FUZZ_CHECK(other.fault == whole.fault);
        FUZZ_CHECK(other.pages == whole.pages);
        FUZZ_CHECK(other.out == whole.out);
    }

    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!whole.fault) {
        const SffWalk walk = WalkSff(whole.out);
        FUZZ_CHECK(walk.complete);
        FUZZ_CHECK(static_cast<int>(walk.resolution.size()) == whole.pages && whole.pages >= 1);
        FUZZ_CHECK(whole.out.compare(0, sff::kDocumentHeaderSize, input, 0,
                                     sff::kDocumentHeaderSize) == 0);
    } else {
        FUZZ_CHECK(!whole.fault->empty());
    }
    const SffWalk walk = WalkSff(input);
    if (walk.complete && !walk.resolution.empty() &&
        sff::FirstPageOffset(data) >= sff::kDocumentHeaderSize) {
        FUZZ_CHECK(!whole.fault);
        FUZZ_CHECK(whole.out == input);
        FUZZ_CHECK(whole.pages == static_cast<int>(walk.resolution.size()));
    }
    return 0;
}
