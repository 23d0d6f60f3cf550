#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Reads a fuzz input piece by piece. Texts are fields that end at a NUL byte (or at the end),
// so that a seed can be written by hand; numbers are bytes. An exhausted input reads as zeros
// and empty fields.
class FuzzInput {
public:
    FuzzInput(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}

    bool AtEnd() const { return m_pos >= m_size; }

    std::uint8_t Byte() { return AtEnd() ? 0 : m_data[m_pos++]; }

    std::int32_t Int32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }

    QByteArray Field() {
        const std::size_t start = m_pos;
        while (m_pos < m_size && m_data[m_pos] != 0)
            ++m_pos;
        QByteArray field(reinterpret_cast<const char*>(m_data + start),
                         static_cast<qsizetype>(m_pos - start));
        if (m_pos < m_size)
            ++m_pos;
        return field;
    }

    QString Text() { return QString::fromUtf8(Field()); }

    // Every remaining field as text.
    QStringList Texts() {
        QStringList texts;
        while (!AtEnd())
            texts.append(Text());
        return texts;
    }

    QByteArray Rest() {
        const std::size_t start = m_pos < m_size ? m_pos : m_size;
        m_pos = m_size;
        return QByteArray(reinterpret_cast<const char*>(m_data + start),
                          static_cast<qsizetype>(m_size - start));
    }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Ends the process the way a libFuzzer target reports a broken invariant, naming it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
