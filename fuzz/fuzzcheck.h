#pragma once
// What every harness shares: the libFuzzer entry points and the check that stops a run
// with a message when a property does not hold (the input is then saved by libFuzzer, or
// the replay test fails).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

#define FUZZ_CHECK(cond, ...)                                                                                     \
    do {                                                                                                          \
        if (!(cond)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n  ", __FILE__, __LINE__, #cond);                  \
            std::fprintf(stderr, __VA_ARGS__);                                                                    \
            std::fprintf(stderr, "\n");                                                                           \
            std::abort();                                                                                         \
        }                                                                                                         \
    } while (0)

// Reads the input from the front: the fuzzer's bytes taken as a stream of small fields.
class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    size_t left() const { return m_size - m_pos; }
    // The next byte, 0 once the input is used up.
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // The next two bytes as a little-endian number.
    uint16_t word()
    {
        const uint16_t lo = byte();
        return uint16_t(lo | (uint16_t(byte()) << 8));
    }
    // Up to n bytes (fewer at the end).
    const uint8_t *take(size_t &n)
    {
        if (n > left())
            n = left();
        const uint8_t *p = m_data + m_pos;
        m_pos += n;
        return p;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Lengths of the pieces a stream arrives in, from 1 to `most` bytes, chosen by a seed taken
// from the input so that a run can be repeated.
class PieceCutter {
public:
    explicit PieceCutter(uint32_t seed) : m_seed(seed) {}
    size_t next(size_t left, size_t most)
    {
        m_seed = m_seed * 1103515245u + 12345u;
        const size_t piece = 1 + (m_seed >> 16) % most;
        return piece < left ? piece : left;
    }

private:
    uint32_t m_seed;
};
