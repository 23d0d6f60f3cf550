// Writes a small two-page fax document (SFF, normal resolution) as a print file for the demo:
// a letter of word-like bars in a frame, then a page with a chessboard and a diagonal.
// Drawn from fixed numbers, so that every run writes the same bytes.

#include "fax/SffWriter.h"

#include <QFile>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = SffWriter::kStandardWidth;
constexpr int kRows = 1140; // A4 at 98 lines per inch

class Page {
public:
    Page() : m_bits(static_cast<size_t>(kRows) * kRowBytes, 0) {}
    void Fill(int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                m_bits[static_cast<size_t>(y) * kRowBytes + x / 8] |=
                    static_cast<unsigned char>(0x80 >> (x % 8));
    }
    void Frame(int x0, int y0, int x1, int y1, int t) {
        Fill(x0, y0, x1, y0 + t);
        Fill(x0, y1 - t, x1, y1);
        Fill(x0, y0, x0 + t, y1);
        Fill(x1 - t, y0, x1, y1);
    }
    void WriteTo(SffWriter& writer) const {
        writer.BeginPage(98);
        int blank = 0;
        for (int y = 0; y < kRows; ++y) {
            const unsigned char* row = &m_bits[static_cast<size_t>(y) * kRowBytes];
            bool empty = true;
            for (int i = 0; i < kRowBytes && empty; ++i)
                empty = row[i] == 0;
            if (empty) {
                ++blank;
                continue;
            }
            if (blank)
                writer.AddBlankRows(blank);
            blank = 0;
            writer.AddBitRow(row, kWidth);
        }
        if (blank)
            writer.AddBlankRows(blank);
    }

private:
    static constexpr int kRowBytes = kWidth / 8;
    std::vector<unsigned char> m_bits;
};

Page Letter() {
    Page page;
    page.Frame(100, 60, kWidth - 100, kRows - 60, 4);
    page.Fill(160, 110, 760, 150); // letterhead
    unsigned seed = 4711;
    for (int line = 0; line < 30; ++line) {
        const int y = 240 + line * 26;
        int x = 180;
        const int end = line % 7 == 6 ? 900 : kWidth - 180; // short last lines of paragraphs
        while (true) {
            seed = seed * 1103515245u + 12345u;
            const int word = 30 + static_cast<int>((seed >> 16) % 140);
            if (x + word > end)
                break;
            page.Fill(x, y, x + word, y + 12);
            x += word + 22;
        }
    }
    page.Fill(1100, 1040, 1500, 1043); // signature line
    return page;
}

Page Chessboard() {
    Page page;
    constexpr int square = 96;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            if ((r + c) % 2 == 0)
                page.Fill(480 + c * square, 200 + r * square / 2, 480 + (c + 1) * square,
                          200 + (r + 1) * square / 2);
    page.Frame(476, 196, 480 + 8 * square + 4, 200 + 4 * square + 4, 4);
    for (int y = 700; y < 1080; ++y) {
        const int x = 200 + (y - 700) * 3;
        page.Fill(x, y, x + 8, y + 1);
    }
    return page;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalmo-example-sff <file>\n");
        return 2;
    }
    SffWriter writer;
    Letter().WriteTo(writer);
    Chessboard().WriteTo(writer);
    QFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray document = writer.Finish();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(document) != document.size()) {
        std::fprintf(stderr, "kalmo-example-sff: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
