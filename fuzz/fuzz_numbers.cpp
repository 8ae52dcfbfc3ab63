// ParseSingle against strtof, and FormatSingle against printf("%.7G"), with the decimal
// separators "." "," and U+066B.
//
// Input: one byte that picks the separator (bits 0-1) and the mode (bit 2), then
//   parse mode:  the text;
//   format mode: the four bytes of a float.
//
// ParseSingle takes blanks (space, tab) around, a sign, digits with at most one separator and
// an optional exponent. Where it takes the text, the same number in C notation must give
// strtof's float bit for bit, and a float overflow must be OverflowError; where it does not,
// ConversionError. strtof takes more (other white space, hexadecimal, "inf", "nan", a number
// followed by anything), so the notation is checked here first and strtof sees only what
// passed.
//
// TryParseSingle must give ParseSingle's value, false for its ConversionError and raise its
// OverflowError.
//
// FormatSingle writes "%.7G" with the user's separator. Seven digits do not give every float
// back, but a float read from its seven digits writes the same seven digits again, and reading
// them gives the float strtof reads.
#include <bit>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "fuzz_input.h"
#include "model/errors.h"
#include "model/numbers.h"

namespace {

using namespace quenta;
using quenta::fuzz::check;

locale_t cLocale;

const std::string separators[] = {".", ",", "\xd9\xab", "."};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text in C notation ("-12.5e-3"), or false when it is not a number in the program's
// notation with the separator `sep`.
bool cNotation(std::string_view t, const std::string& sep, std::string& out)
{
    while (!t.empty() && isBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back()))
        t.remove_suffix(1);
    out.clear();
    std::size_t p = 0;
    if (p < t.size() && (t[p] == '+' || t[p] == '-'))
        out.push_back(t[p++]);
    std::size_t digits = 0;
    out.push_back('0');
    while (p < t.size() && isDigit(t[p])) {
        out.push_back(t[p++]);
        ++digits;
    }
    if (t.substr(p, sep.size()) == sep) {
        p += sep.size();
        out.push_back('.');
        while (p < t.size() && isDigit(t[p])) {
            out.push_back(t[p++]);
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (p < t.size() && (t[p] == 'e' || t[p] == 'E')) {
        out.push_back('e');
        ++p;
        if (p < t.size() && (t[p] == '+' || t[p] == '-'))
            out.push_back(t[p++]);
        std::size_t expDigits = 0;
        while (p < t.size() && isDigit(t[p])) {
            out.push_back(t[p++]);
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return p == t.size();
}

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

void checkParse(std::string_view text, const std::string& sep)
{
    std::string c;
    const bool number = cNotation(text, sep, c);
    float expected = 0;
    if (number) {
        char* end = nullptr;
        expected = strtof_l(c.c_str(), &end, cLocale);
        check(end == c.c_str() + c.size());
    }
    int outcome = 0;  // 1 value, 2 ConversionError, 3 OverflowError
    float got = 0;
    try {
        got = ParseSingle(text, sep);
        outcome = 1;
    } catch (const ConversionError&) {
        outcome = 2;
    } catch (const OverflowError&) {
        outcome = 3;
    }
    if (!number)
        check(outcome == 2);
    else if (std::isinf(expected))
        check(outcome == 3);
    else
        check(outcome == 1 && bits(got) == bits(expected));

    // TryParseSingle: false where ParseSingle raised ConversionError, its value otherwise.
    float tried = 0;
    int tryOutcome = 2;
    try {
        if (TryParseSingle(text, sep, tried))
            tryOutcome = 1;
    } catch (const OverflowError&) {
        tryOutcome = 3;
    }
    check(tryOutcome == outcome && (outcome != 1 || bits(tried) == bits(got)));
}

void checkFormat(float x, const std::string& sep)
{
    const std::string text = FormatSingle(x, sep);
    if (std::isnan(x)) {
        check(text == "NaN");
        return;
    }
    if (std::isinf(x)) {
        check(text == (x < 0 ? "-Inf" : "Inf"));
        return;
    }
    if (x == 0.0f) {
        check(text == "0" && bits(ParseSingle(text, sep)) == 0);
        return;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(x));
    std::string expected = buf;
    const std::size_t dot = expected.find('.');
    if (dot != std::string::npos)
        expected.replace(dot, 1, sep);
    check(text == expected);

    const float back = ParseSingle(text, sep);
    check(bits(back) == bits(strtof_l(buf, nullptr, cLocale)));
    check(FormatSingle(back, sep) == text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    uselocale(cLocale);  // printf's point
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quenta::fuzz::Input in(data, size);
    const std::uint8_t mode = in.u8();
    const std::string& sep = separators[mode & 3];
    if (mode & 4)
        checkFormat(std::bit_cast<float>(in.u32()), sep);
    else
        checkParse(in.rest(), sep);
    return 0;
}
