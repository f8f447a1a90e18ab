// What the fuzz targets share: reading the input, and a broken invariant
// stopping the run with the line that says which.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                               \
    ((condition) ? void()                                                                                   \
                 : (std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition), \
                    std::abort()))

// Takes values from the front of the input; an exhausted input reads zeros.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return size_ == 0; }
    uint8_t byte() { return size_ ? (--size_, *data_++) : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | byte();
        return v;
    }

    uint32_t below(uint32_t n) { return n ? byte() % n : 0; }
    template <typename T, size_t N>
    const T& pick(const T (&choices)[N]) {
        return choices[below(N)];
    }

private:
    const uint8_t* data_;
    size_t size_;
};
