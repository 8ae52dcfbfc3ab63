#include "model/numbers.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <bit>
#include <cstring>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>
#include <utility>

#include "model/errors.h"

namespace quenta {

namespace {

// ---------------------------------------------------------------------------------------------
// The decimal separator

std::string localeSeparator()
{
    const QString point = QLocale().decimalPoint();
    std::string text = point.toUtf8().toStdString();
    if (text.empty())
        text = ".";
    return text;
}

// ---------------------------------------------------------------------------------------------
// Reading a number text

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number text taken apart: the significant digits (no leading zeros), and the decimal
// exponent such that the value is 0.d1d2d3... x 10^pointPos.
struct DecimalText {
    bool negative = false;
    std::string digits;       // significant digits, first one non-zero; empty for zero
    long long pointPos = 0;   // saturated far beyond any meaningful range
    std::string plain;        // the number in the form from_chars reads: digits '.' digits 'e' exp
};

constexpr long long ExponentLimit = 1'000'000'000LL;

// A number text taken apart without copying: its sign, the digits before and after the
// separator, and the exponent (saturated far beyond any meaningful range).
struct NumberParts {
    bool negative = false;
    std::string_view intDigits, fracDigits;
    long long exponent = 0;
    std::size_t exponentDigits = 0;
};

enum class Notation { Number, Empty, Other };

// Checks the notation: blanks, an optional sign, digits with at most one decimal separator
// (at least one digit in all), an optional exponent "E"/"e" with an optional sign and at least
// one digit, blanks. Fills n only for a Number.
Notation scanNotation(std::string_view text, std::string_view sep, NumberParts& n)
{
    std::size_t p = 0, end = text.size();
    while (p < end && isBlank(text[p]))
        ++p;
    while (end > p && isBlank(text[end - 1]))
        --end;
    if (p == end)
        return Notation::Empty;

    if (text[p] == '+' || text[p] == '-') {
        n.negative = text[p] == '-';
        ++p;
    }
    auto digitsFrom = [&](std::size_t from) {
        while (p < end && isDigit(text[p]))
            ++p;
        return text.substr(from, p - from);
    };
    n.intDigits = digitsFrom(p);
    if (p < end && !sep.empty() && text.substr(p, sep.size()) == sep) {
        p += sep.size();
        n.fracDigits = digitsFrom(p);
    }
    if (n.intDigits.empty() && n.fracDigits.empty())
        return Notation::Other;

    if (p < end && (text[p] == 'E' || text[p] == 'e')) {
        ++p;
        bool expNegative = false;
        if (p < end && (text[p] == '+' || text[p] == '-')) {
            expNegative = text[p] == '-';
            ++p;
        }
        const std::string_view digits = digitsFrom(p);
        if (digits.empty())
            return Notation::Other;
        for (char c : digits)
            if (n.exponent < ExponentLimit)
                n.exponent = n.exponent * 10 + (c - '0');
        n.exponent = std::min(n.exponent, ExponentLimit);
        if (expNegative)
            n.exponent = -n.exponent;
        n.exponentDigits = digits.size();
    }
    return p == end ? Notation::Number : Notation::Other;
}

// The parts of a number text; ConversionError for a text outside the notation.
NumberParts scanNumber(std::string_view text, std::string_view sep)
{
    NumberParts n;
    switch (scanNotation(text, sep, n)) {
    case Notation::Number:
        return n;
    case Notation::Empty:
        throw ConversionError("empty number text");
    case Notation::Other:
        break;
    }
    throw ConversionError("not a number");
}

DecimalText readDecimal(std::string_view text, std::string_view sep)
{
    const NumberParts n = scanNumber(text, sep);
    DecimalText d;
    d.negative = n.negative;

    // Significant digits and where the decimal point stands relative to them.
    const std::string all = std::string(n.intDigits) + std::string(n.fracDigits);
    std::size_t first = all.find_first_not_of('0');
    if (first != std::string::npos) {
        std::size_t last = all.find_last_not_of('0');
        d.digits = all.substr(first, last - first + 1);
        d.pointPos = static_cast<long long>(n.intDigits.size()) - static_cast<long long>(first) + n.exponent;
    }

    // Text for from_chars: the digits as typed with '.', and the exponent in range.
    d.plain.reserve(all.size() + 24);
    if (d.negative)
        d.plain.push_back('-');
    d.plain += n.intDigits.empty() ? std::string_view("0") : n.intDigits;
    if (!n.fracDigits.empty()) {
        d.plain.push_back('.');
        d.plain += n.fracDigits;
    }
    if (n.exponent != 0) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, n.exponent);
        d.plain.push_back('e');
        d.plain.append(buf, r.ptr);
    }
    return d;
}

std::string withSeparator(std::string text, std::string_view sep)
{
    if (sep == ".")
        return text;
    std::size_t dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, sep);
    return text;
}

} // namespace

std::string system_decimal_separator() { return localeSeparator(); }

i16 ParseInteger(std::string_view text, std::string_view separator)
{
    const DecimalText d = readDecimal(text, separator);
    if (d.digits.empty())
        return 0;
    // Any value of 10^5 or more is out of range whatever its digits.
    if (d.pointPos > 5)
        throw OverflowError("integer overflow");

    long long whole = 0;
    int roundUp = 0;  // 0 below one half, 1 exactly one half, 2 above
    if (d.pointPos < 0) {
        roundUp = 0;  // below 0.1
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(d.pointPos);
        for (std::size_t k = 0; k < intDigits; ++k)
            whole = whole * 10 + (k < d.digits.size() ? d.digits[k] - '0' : 0);
        if (intDigits < d.digits.size()) {
            const char half = d.digits[intDigits];
            const bool restNonZero = intDigits + 1 < d.digits.size();  // digits end non-zero
            if (half > '5' || (half == '5' && restNonZero))
                roundUp = 2;
            else if (half == '5')
                roundUp = 1;
        }
    }
    if (roundUp == 2 || (roundUp == 1 && (whole % 2) != 0))
        ++whole;
    return to_i16(d.negative ? -whole : whole);
}

namespace {

// -f when negative, else f, without a branch: signs come as unpredictably as the values.
float withSign(float f, bool negative)
{
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) ^ (std::uint32_t{negative} << 31));
}

// The texts the program writes itself have at most 7 significant digits and a small exponent:
// m x 10^e with m <= 2^24 and |e| <= 10. Both m and 10^|e| are exact floats then, so one float
// multiplication or division gives the correctly rounded value. False for any other text.
bool exactSmall(const NumberParts& n, float& value)
{
    static constexpr float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    std::uint32_t m = 0;
    for (std::string_view digits : {n.intDigits, n.fracDigits})
        for (char c : digits) {
            m = m * 10 + static_cast<std::uint32_t>(c - '0');
            if (m > (1u << 24))
                return false;
        }
    const long long e = n.exponent - static_cast<long long>(n.fracDigits.size());
    if (e < -10 || e > 10)
        return false;
    float f = static_cast<float>(m);
    f = e >= 0 ? f * powers[e] : f / powers[-e];
    value = withSign(f, n.negative);
    return true;
}

// ParseSingle for the texts nearly every cell and file holds, without allocating. Returns false
// when the text needs the general path (too long, out of range); raises ConversionError for a
// text that is not a number.
bool parseSingleShort(std::string_view text, std::string_view separator, float& value)
{
    const NumberParts n = scanNumber(text, separator);
    if (exactSmall(n, value))
        return true;
    char buf[80];
    if (n.exponentDigits > 8 || n.intDigits.size() + n.fracDigits.size() + 16 > sizeof buf)
        return false;
    char* out = buf;
    if (n.negative)
        *out++ = '-';
    *out++ = '0';  // a leading zero keeps ".5" a number
    out = std::copy(n.intDigits.begin(), n.intDigits.end(), out);
    if (!n.fracDigits.empty()) {
        *out++ = '.';
        out = std::copy(n.fracDigits.begin(), n.fracDigits.end(), out);
    }
    if (n.exponent != 0) {
        *out++ = 'e';
        out = std::to_chars(out, buf + sizeof buf, n.exponent).ptr;
    }
    const auto r = std::from_chars(buf, out, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != out || !std::isfinite(value))
        return false;  // out of range: the general path tells overflow from underflow
    return true;
}

// The common case of parseSingleShort in one pass: an optional sign, at most 8 digits with at
// most one one-byte separator among them, an optional exponent of at most 3 digits, nothing
// else; the value is then exactSmall's. False, with nothing decided, for any other text. Inlined
// into both of its callers: as a call of its own it costs Open a few per cent.
[[gnu::always_inline]] inline bool plainSmall(std::string_view text, char sep, float& value)
{
    static constexpr float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const char* p = text.data();
    const char* const end = p + text.size();
    if (p == end)
        return false;
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    const std::size_t length = static_cast<std::size_t>(end - p);
    if constexpr (std::endian::native == std::endian::little) {
        // Eight or nine bytes, one of them the separator, the others digits (what the program
        // writes for most values): the digits are read eight at a time, without a branch on
        // where the separator stands.
        if (length == 8 || length == 9) {
            constexpr std::uint64_t ones = 0x0101010101010101ULL, zeros = ones * '0';
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(sep));
            const std::uint64_t flags = (x - ones) & ~x & (ones * 0x80);
            if (flags != 0) {
                const int k = std::countr_zero(flags) / 8;  // the first separator
                const int n = static_cast<int>(length) - 1;  // digits
                const std::uint64_t below = k == 0 ? 0 : word & (~std::uint64_t(0) >> (64 - 8 * k));
                std::uint64_t digitsWord = below | (((word >> (8 * k)) >> 8) << (8 * k));
                if (length == 9)
                    digitsWord |= std::uint64_t(static_cast<unsigned char>(p[8])) << 56;
                // Leading '0's up to eight digits; then every byte must be a digit.
                if (n < 8)
                    digitsWord = (digitsWord << (8 * (8 - n))) | (zeros >> (8 * n));
                if ((digitsWord & (ones * 0xF0)) == zeros && ((digitsWord + ones * 6) & (ones * 0xF0)) == zeros) {
                    std::uint64_t v = digitsWord - zeros;
                    v = v * 10 + (v >> 8);
                    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
                         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >> 32;
                    const auto m = static_cast<std::uint32_t>(v);
                    if (m > (1u << 24))
                        return false;
                    const float f = static_cast<float>(m) / powers[n - k];
                    value = withSign(f, negative);
                    return true;
                }
            }
        }
    }
    std::uint32_t m = 0;
    int digits = 0, point = -1;
    for (; p != end; ++p) {
        const unsigned d = static_cast<unsigned char>(*p) - unsigned('0');
        if (d < 10) {
            m = m * 10 + d;
            ++digits;
        } else if (*p == sep && point < 0) {
            point = digits;
        } else {
            break;
        }
    }
    if (digits == 0 || digits > 8 || m > (1u << 24))
        return false;
    int e = point < 0 ? 0 : point - digits;
    if (p != end) {
        if (*p != 'E' && *p != 'e')
            return false;
        ++p;
        const bool expNegative = p != end && *p == '-';
        if (p != end && (*p == '+' || *p == '-'))
            ++p;
        int x = 0, xDigits = 0;
        for (; p != end && isDigit(*p) && xDigits < 3; ++p, ++xDigits)
            x = x * 10 + (*p - '0');
        if (xDigits == 0 || p != end)
            return false;
        e += expNegative ? -x : x;
        if (e < -10 || e > 10)
            return false;
    } else if (e < -10) {
        return false;
    }
    float f = static_cast<float>(m);
    f = e >= 0 ? f * powers[e] : f / powers[-e];
    value = withSign(f, negative);
    return true;
}

// ParseSingle past its common case; kept out of line so that the common case needs no frame
// for this one's strings.
[[gnu::noinline]] float parseSingleGeneral(std::string_view text, std::string_view separator)
{
    float fast = 0;
    if (parseSingleShort(text, separator, fast))
        return fast;
    const DecimalText d = readDecimal(text, separator);
    float value = 0;
    const char* begin = d.plain.data();
    const char* end = begin + d.plain.size();
    auto r = std::from_chars(begin, end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the float range above, or so small that it rounds to zero.
        if (!d.digits.empty() && d.pointPos > 0)
            throw OverflowError("float overflow");
        return d.negative ? -0.0f : 0.0f;
    }
    if (r.ec != std::errc() || r.ptr != end)
        throw ConversionError("not a number");
    if (!std::isfinite(value))
        throw OverflowError("float overflow");
    return value;
}

} // namespace

float ParseSingle(std::string_view text, std::string_view separator)
{
    float fast = 0;
    if (separator.size() == 1 && plainSmall(text, separator[0], fast))
        return fast;
    return parseSingleGeneral(text, separator);
}

bool TryParseSingle(std::string_view text, std::string_view separator, float& value)
{
    if (separator.size() == 1 && plainSmall(text, separator[0], value))
        return true;
    // A text outside the notation is told apart before the general path, which would raise.
    NumberParts n;
    if (scanNotation(text, separator, n) != Notation::Number)
        return false;
    value = parseSingleGeneral(text, separator);
    return true;
}

std::string FormatInteger(long long value)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatSingle(float value, std::string_view sep)
{
    if (value == 0.0f)
        return "0";
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";

    // The float rounded to 7 significant digits: "-d.dddddde+XX".
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
    const bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (isDigit(c))
            digits.push_back(c);
    int exponent = 0;
    {
        std::string_view e = sci.substr(ePos + 1);
        const bool eNeg = e.front() == '-';
        if (e.front() == '+' || e.front() == '-')
            e.remove_prefix(1);
        std::from_chars(e.data(), e.data() + e.size(), exponent);
        if (eNeg)
            exponent = -exponent;
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    if (negative)
        out.push_back('-');
    if (exponent < -4 || exponent >= 7) {
        out.push_back(digits[0]);
        if (digits.size() > 1) {
            out += sep;
            out.append(digits, 1);
        }
        out.push_back('E');
        out.push_back(exponent < 0 ? '-' : '+');
        const int mag = exponent < 0 ? -exponent : exponent;
        if (mag < 10)
            out.push_back('0');
        out += FormatInteger(mag);
    } else if (exponent >= 0) {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += sep;
            out.append(digits, intDigits);
        }
    } else {
        out.push_back('0');
        out += sep;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::string FormatTenth(long long n, std::string_view separator)
{
    const double tenth = static_cast<double>(n) / 10.0;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, tenth, std::chars_format::fixed);
    return withSeparator(std::string(buf, r.ptr), separator);
}

} // namespace quenta
