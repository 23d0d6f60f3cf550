#pragma once

// A PCX picture (one page): 1-bit, 8-bit with its palette, or 24-bit in three planes, coded
// with PCX's run lengths. Every count is checked against the header and the file.

#include "faxapp/pages/PageSource.h"

#include <QByteArray>

namespace faxapp {

class PcxDecoder final : public PageSource {
public:
    explicit PcxDecoder(QByteArray bytes);

    int PageCount() const override { return m_problem.isEmpty() ? 1 : 0; }
    QImage DecodePage(int index, QString& error) override;
    QString Problem() const override { return m_problem; }

private:
    QByteArray m_bytes;
    QString m_problem;
    int m_width = 0;
    int m_height = 0;
    int m_bits = 0;
    int m_planes = 0;
    int m_bytesPerLine = 0;
};

} // namespace faxapp
