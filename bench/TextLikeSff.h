#pragma once

// A document for the SFF benchmarks: pages of typed text, lines of word-sized black blocks,
// as a fax of a letter codes.

#include "fax/SffWriter.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <algorithm>
#include <utility>
#include <vector>

// pages pages of 2,290 fine rows; every normalEvery-th page (none when 0) has normal rows,
// half as many for the same lines.
inline QByteArray TextLikeSff(int pages, int normalEvery = 0) {
    constexpr int kWidth = SffWriter::kStandardWidth;
    QRandomGenerator random(7);
    SffWriter writer;
    std::vector<unsigned char> row(kWidth / 8);
    for (int p = 0; p < pages; ++p) {
        const int f = normalEvery > 0 && p % normalEvery == normalEvery - 1 ? 2 : 1;
        writer.BeginPage(f == 2 ? 98 : 196);
        writer.AddBlankRows(150 / f);
        for (int line = 0; line < 60; ++line) {
            std::vector<std::pair<int, int>> words;
            for (int x = 120; x < kWidth - 200;) {
                const int length = 20 + static_cast<int>(random.bounded(140));
                words.emplace_back(x, length);
                x += length + 18;
            }
            for (int y = 0; y < 34 / f; ++y) {
                std::fill(row.begin(), row.end(), 0);
                if (y < 22 / f) {
                    for (const auto& [x0, length] : words)
                        for (int x = x0; x < x0 + length; ++x)
                            row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                    writer.AddBitRow(row.data(), kWidth);
                } else {
                    writer.AddBlankRows(1);
                }
            }
        }
        writer.AddBlankRows(100 / f);
    }
    return writer.Finish();
}
