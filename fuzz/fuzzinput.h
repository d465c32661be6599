#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

// Takes a fuzzer's bytes apart into choices and payloads; past the end it
// gives zeros and empty payloads, so a target never reads out of bounds.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    size_t remaining() const { return m_size - m_pos; }

    uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    // 0 .. n-1.
    unsigned pick(unsigned n) { return n == 0 ? 0 : byte() % n; }
    quint16 word() { return static_cast<quint16>(byte() | (byte() << 8)); }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, remaining());
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), static_cast<qsizetype>(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace fuzz
