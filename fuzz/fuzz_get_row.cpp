// get_row against a plain splitter: the tokens are exactly the maximal runs of bytes other than
// the space (code 32), in order, each a view into the line; more than 32767 of them is an
// OverflowError.
//
// Input: one byte, then the line. When the byte is 255 or 254, the line is followed by " 1"
// as often as it takes to make 32767 tokens (255) or one more (254), so that short inputs meet
// the 16-bit limit from both sides.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/line.h"
#include "fuzz_input.h"
#include "model/errors.h"

namespace {

using namespace quenta;
using quenta::fuzz::check;

std::string line;
std::vector<std::pair<std::size_t, std::size_t>> expected;  // start and length of each token
std::vector<std::string_view> y{"left over", "from before"};

// The plain split, without coverage instrumentation: a line of 64 KiB costs a callback a byte
// otherwise, and the fuzzer learns nothing from this loop.
__attribute__((noinline, no_sanitize("coverage"))) void split()
{
    expected.clear();
    for (std::size_t p = 0; p < line.size();) {
        if (line[p] == ' ') {
            ++p;
            continue;
        }
        const std::size_t start = p;
        while (p < line.size() && line[p] != ' ')
            ++p;
        expected.emplace_back(start, p - start);
    }
}

__attribute__((noinline, no_sanitize("coverage"))) void prepare(std::uint8_t mode, std::string_view body)
{
    static const std::string padding = [] {
        std::string s;
        for (int k = 0; k < 32768; ++k)
            s += " 1";
        return s;
    }();
    line.assign(body);
    split();
    if (mode >= 0xFE && expected.size() <= 32767) {
        const std::size_t more = 32767 - expected.size() + (mode == 0xFE);
        for (std::size_t k = 0; k < more; ++k)
            expected.emplace_back(line.size() + 2 * k + 1, 1);
        line.append(padding, 0, 2 * more);
    }
}

__attribute__((noinline, no_sanitize("coverage"))) void verify(i16 m)
{
    check(m == static_cast<i16>(expected.size()));
    check(y.size() == expected.size() + 1);
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const std::string_view t = y[k + 1];
        check(t.data() == line.data() + expected[k].first && t.size() == expected[k].second);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quenta::fuzz::Input in(data, size);
    const std::uint8_t mode = in.u8();
    prepare(mode, in.rest());

    i16 m = -1;
    const std::string_view view(line);
    if (expected.size() > 32767) {
        bool overflow = false;
        try {
            get_row(view, m, y);
        } catch (const OverflowError&) {
            overflow = true;
        }
        check(overflow);
        return 0;
    }
    get_row(view, m, y);
    verify(m);
    return 0;
}
