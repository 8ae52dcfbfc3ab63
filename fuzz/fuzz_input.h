#pragma once
// What the in-memory fuzz targets share: a reader that takes values off the front of the input
// (zeros once it runs out), and the check that stops the run on a broken invariant.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenta::fuzz {

inline void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool empty() const { return p_ == end_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
    std::uint8_t u8() { return p_ == end_ ? 0 : *p_++; }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    // Up to n bytes as they stand.
    std::string_view bytes(std::size_t n)
    {
        if (n > left())
            n = left();
        std::string_view s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    std::string_view rest() { return bytes(left()); }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

} // namespace quenta::fuzz
