// LineReader over bytes in memory through a buffer of a few bytes, so that every input runs
// through the refills, the buffer's growth and line ends split between two reads, against a
// splitter that looks at one byte at a time: a line ends at CR LF, a lone CR or a lone LF; the
// last line needs no end; no bytes, no line.
//
// Input: one byte that gives the first buffer's size (1..64 mostly, now and then up to 4096),
// then the content.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/line.h"
#include "fuzz_input.h"

namespace {

using namespace quenta;
using quenta::fuzz::check;

std::vector<std::string_view> expected;

void split(std::string_view bytes)
{
    expected.clear();
    std::size_t start = 0;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const char c = bytes[k];
        if (c != '\r' && c != '\n')
            continue;
        expected.push_back(bytes.substr(start, k - start));
        if (c == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n')
            ++k;
        start = k + 1;
    }
    if (start < bytes.size())
        expected.push_back(bytes.substr(start));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quenta::fuzz::Input in(data, size);
    const std::uint8_t b = in.u8();
    const std::size_t bufferSize = b < 0xF0 ? 1 + b % 64 : std::size_t(1) << (b & 0x0F) % 13;
    const std::string_view bytes = in.rest();
    split(bytes);

    LineReader reader(bytes, bufferSize);
    std::string_view line;
    for (const std::string_view want : expected) {
        check(reader.next(line));
        check(line == want);
    }
    check(!reader.next(line));
    check(!reader.next(line));  // stays at the end
    return 0;
}
