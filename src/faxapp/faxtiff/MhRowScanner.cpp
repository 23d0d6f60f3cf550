#include "faxapp/faxtiff/MhRowScanner.h"

#include "fax/MhCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace faxapp {

namespace {

constexpr int kLookupBits = 13; // the longest code

struct Entry {
    std::uint16_t run = 0;
    std::uint8_t length = 0; // 0: no code starts with these bits
    bool makeUp = false;
};

using Table = std::array<Entry, std::size_t{1} << kLookupBits>;

// The next kLookupBits bits of a row, first bit lowest, select the code that starts there.
class Lookup {
public:
    Lookup() {
        for (int colour = 0; colour < 2; ++colour) {
            Table& table = m_tables[static_cast<std::size_t>(colour)];
            const auto& term = colour == 0 ? mh::kWhiteTerm : mh::kBlackTerm;
            const auto& makeUp = colour == 0 ? mh::kWhiteMakeUp : mh::kBlackMakeUp;
            for (std::size_t i = 0; i < term.size(); ++i)
                Add(table, term[i], static_cast<int>(i), false);
            for (std::size_t i = 0; i < makeUp.size(); ++i)
                Add(table, makeUp[i], static_cast<int>(i + 1) * mh::kMakeUpStep, true);
            for (std::size_t i = 0; i < mh::kExtendedMakeUp.size(); ++i)
                Add(table, mh::kExtendedMakeUp[i],
                    mh::kFirstExtendedRun + static_cast<int>(i) * mh::kMakeUpStep, true);
        }
    }
    const Table& Of(bool black) const { return m_tables[black ? 1 : 0]; }

private:
    // Codes are sent first bit first and stored lowest bit first, so the code's bits are
    // reversed; every index that starts with them names it.
    static void Add(Table& table, mh::Code code, int run, bool makeUp) {
        unsigned reversed = 0;
        for (int i = 0; i < code.length; ++i)
            reversed |= (code.bits >> (code.length - 1 - i) & 1U) << i;
        for (unsigned rest = 0; rest < 1U << (kLookupBits - code.length); ++rest)
            table[reversed | rest << code.length] = {static_cast<std::uint16_t>(run), code.length,
                                                     makeUp};
    }

    std::array<Table, 2> m_tables;
};

const Lookup& Codes() {
    static const Lookup lookup;
    return lookup;
}

// The bits from position on, zero past the end.
unsigned Peek(const unsigned char* bytes, int length, int position) {
    const int at = position / 8;
    unsigned window = 0;
    for (int i = 0; i < 3 && at + i < length; ++i)
        window |= static_cast<unsigned>(bytes[at + i]) << (8 * i);
    return window >> (position % 8) & ((1U << kLookupBits) - 1);
}

} // namespace

int MhRowScanner::CodeBits(const unsigned char* bytes, int length, int width, bool* white) {
    const Lookup& codes = Codes();
    const int total = length * 8;
    int position = 0;
    int x = 0;
    bool black = false; // a row starts with a white run, of length 0 if need be
    int runs = 0;
    while (x < width) {
        const Table& table = codes.Of(black);
        for (;;) { // make-up codes, then the terminating code of the run
            const Entry entry = table[Peek(bytes, length, position)];
            if (entry.length == 0 || position + entry.length > total)
                return -1;
            position += entry.length;
            x += entry.run;
            if (x > width)
                return -1;
            if (!entry.makeUp)
                break;
        }
        black = !black;
        ++runs;
    }
    if (white)
        *white = runs == 1;
    return position;
}

} // namespace faxapp
