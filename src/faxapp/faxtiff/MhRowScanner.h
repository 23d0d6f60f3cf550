#pragma once

// Finds where a Modified Huffman row ends, without decoding it into pixels: a row whose code
// runs to exactly its width can be copied into a fax page as it is, a row that does not (a
// damaged row, a wrong width) cannot.

namespace faxapp {

class MhRowScanner {
public:
    // Bits of code, least significant bit of each byte first (as SFF stores rows), that make
    // up one row of width pixels; -1 when the code is invalid, ends before the row is full,
    // or fills more than width. Bits after the row's last code are not looked at. white
    // tells whether the row is one white run.
    static int CodeBits(const unsigned char* bytes, int length, int width, bool* white = nullptr);
};

} // namespace faxapp
