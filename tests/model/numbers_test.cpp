// The four number conversions, the tenth used for the proposed accuracy, and the 16-bit helpers.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/errors.h"
#include "model/int16.h"
#include "model/numbers.h"

namespace quenta {
namespace {

// Every test starts and ends with "." as the separator, whatever a failed test left behind.
class Numbers : public ::testing::Test {
protected:
    void SetUp() override { setDecimalSeparator("."); }
    void TearDown() override { setDecimalSeparator("."); }
};

struct IntCase {
    const char* text;
    int value;
};

TEST_F(Numbers, ParseIntegerRoundsTheDecimalValueTiesToEven)
{
    const IntCase cases[] = {
        {"3.5", 4}, {"2.5", 2}, {"4.5", 4}, {"5.5", 6}, {"0.5", 0}, {"1.5", 2},
        {"-2.5", -2}, {"-3.5", -4}, {"-0.5", 0}, {"0.51", 1}, {"0.49", 0},
        // The tie is decided on the digits as typed, not on a binary approximation.
        {"2.50000000000000000001", 3}, {"2.49999999999999999999", 2}, {"3.4999999999999999999", 3},
        {"7", 7}, {"-3", -3}, {"0", 0}, {"-0", 0}, {"007", 7},
        {" 7 ", 7}, {"\t12\t", 12}, {"+5", 5}, {"1e3", 1000}, {"1E3", 1000}, {"1.5e1", 15},
        {"25e-1", 2}, {"35E-1", 4}, {".5", 0}, {"5.", 5}, {"1e-999999", 0}, {"0e999999", 0},
        {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767}, {"-32768.5", -32768},
        {"3276.7e1", 32767},
    };
    for (const IntCase& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST_F(Numbers, ParseIntegerOutsideSixteenBitsOverflows)
{
    for (const char* text : {"40000", "32768", "32767.5", "-32769", "-32768.6", "1e5", "100000",
                             "1e999999999999999999", "-4e4"})
        EXPECT_THROW(ParseInteger(text), OverflowError) << '"' << text << '"';
}

TEST_F(Numbers, ParsersRefuseWhatIsNotADecimalNumber)
{
    for (const char* text : {"", "   ", "abc", "inf", "-inf", "infinity", "nan", "NaN", "0x10", "0X1A",
                             "1e", "1e+", "e5", "+", "-", ".", "1.2.3", "1 000", "1,5", "--1",
                             "+-1", "5a", "a(1,2)", "b(3)", "1d3", "1e5.5"}) {
        EXPECT_THROW(ParseInteger(text), ConversionError) << '"' << text << '"';
        EXPECT_THROW(ParseSingle(text), ConversionError) << '"' << text << '"';
    }
}

TEST_F(Numbers, ParseSingleRoundsToTheNearestFloat)
{
    EXPECT_EQ(ParseSingle("0.5"), 0.5f);
    EXPECT_EQ(ParseSingle("  +2.5e3 "), 2500.0f);
    EXPECT_EQ(ParseSingle("-2"), -2.0f);
    EXPECT_EQ(ParseSingle("0.1"), 0.1f);
    EXPECT_EQ(ParseSingle("1E-05"), 1e-5f);
    EXPECT_EQ(ParseSingle("0.333333333333333333333333333333"), 1.0f / 3.0f);
    // 2^24 + 1 lies half-way between two floats: ties go to the even one.
    EXPECT_EQ(ParseSingle("16777217"), 16777216.0f);
    EXPECT_EQ(ParseSingle("16777219"), 16777220.0f);
    EXPECT_EQ(ParseSingle("3.4028235e38"), FLT_MAX);
    EXPECT_EQ(ParseSingle("-3.4028235E+38"), -FLT_MAX);
}

TEST_F(Numbers, ParseSingleTinyMagnitudesBecomeSubnormalOrZero)
{
    const float sub = ParseSingle("1e-40");
    EXPECT_EQ(std::fpclassify(sub), FP_SUBNORMAL);
    EXPECT_EQ(sub, 1e-40f);
    EXPECT_EQ(ParseSingle("1.401298E-45"), std::numeric_limits<float>::denorm_min());

    const float zero = ParseSingle("1e-50");
    EXPECT_EQ(zero, 0.0f);
    EXPECT_FALSE(std::signbit(zero));
    const float negZero = ParseSingle("-1e-50");
    EXPECT_EQ(negZero, 0.0f);
    EXPECT_TRUE(std::signbit(negZero));
    EXPECT_EQ(ParseSingle("1e-99999999999999999999"), 0.0f);
}

TEST_F(Numbers, ParseSingleBeyondTheFloatRangeOverflows)
{
    for (const char* text : {"1e39", "-1e39", "3.4028236e38", "1e99999999999999999999", "340282356779733661637539395458142568448"})
        EXPECT_THROW(ParseSingle(text), OverflowError) << '"' << text << '"';
}

struct FormatCase {
    float value;
    const char* text;
};

TEST_F(Numbers, FormatSingleWritesSevenSignificantDigits)
{
    const FormatCase cases[] = {
        {1.0f / 3.0f, "0.3333333"},
        {12345678.0f, "1.234568E+07"},
        {0.00001f, "1E-05"},
        {-2.0f, "-2"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {0.5f, "0.5"},
        {100.0f, "100"},
        {1234567.0f, "1234567"},
        {9999999.0f, "9999999"},
        {1e7f, "1E+07"},
        {0.0001f, "0.0001"},
        {0.0001234f, "0.0001234"},
        {0.00001234f, "1.234E-05"},
        {-0.001234f, "-0.001234"},
        {123.456f, "123.456"},
        {1.5e10f, "1.5E+10"},
        {1e38f, "1E+38"},
        {-2.5e-20f, "-2.5E-20"},
        {FLT_MAX, "3.402823E+38"},
        {std::numeric_limits<float>::denorm_min(), "1.401298E-45"},
        // Rounding to 7 digits carries into the next decade.
        {0.000099999996f, "0.0001"},
        {999999.96875f, "1000000"},
        {9.9999998e-5f, "0.0001"},
        // An exact tie in the 8th digit goes to the even 7th digit.
        {12345.625f, "12345.62"},
        {12345.875f, "12345.88"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(FormatSingle(c.value), c.text) << "value " << c.value;
    // 9999999.5 reads as the float 10^7.
    EXPECT_EQ(FormatSingle(ParseSingle("9999999.5")), "1E+07");
}

TEST_F(Numbers, FormatIntegerWritesPlainDigits)
{
    EXPECT_EQ(FormatInteger(7), "7");
    EXPECT_EQ(FormatInteger(-3), "-3");
    EXPECT_EQ(FormatInteger(10), "10");
    EXPECT_EQ(FormatInteger(0), "0");
    EXPECT_EQ(FormatInteger(-32768), "-32768");
    EXPECT_EQ(FormatInteger(32767), "32767");
}

TEST_F(Numbers, FormatTenthIsPlainDecimal)
{
    EXPECT_EQ(FormatTenth(4), "0.4");
    EXPECT_EQ(FormatTenth(16), "1.6");
    EXPECT_EQ(FormatTenth(256), "25.6");
    EXPECT_EQ(FormatTenth(0), "0");
    EXPECT_EQ(FormatTenth(100), "10");
    EXPECT_EQ(FormatTenth(-1), "-0.1");
    EXPECT_EQ(FormatTenth(3), "0.3");
    EXPECT_EQ(FormatTenth(16381), "1638.1");
    EXPECT_EQ(FormatTenth(163810), "16381");
    EXPECT_EQ(FormatTenth(1000000000), "100000000");
}

TEST_F(Numbers, CommaSeparatorInBothDirections)
{
    setDecimalSeparator(",");
    EXPECT_EQ(decimalSeparator(), ",");
    EXPECT_EQ(ParseSingle("1,5"), 1.5f);
    EXPECT_EQ(ParseSingle(" -2,5E-1 "), -0.25f);
    EXPECT_EQ(ParseInteger("2,5"), 2);
    EXPECT_EQ(ParseInteger("4,51"), 5);
    EXPECT_THROW(ParseSingle("1.5"), ConversionError);
    EXPECT_THROW(ParseInteger("1.5"), ConversionError);
    EXPECT_EQ(FormatSingle(0.25f), "0,25");
    EXPECT_EQ(FormatSingle(1.0f / 3.0f), "0,3333333");
    EXPECT_EQ(FormatSingle(12345678.0f), "1,234568E+07");
    EXPECT_EQ(FormatSingle(-2.0f), "-2");
    EXPECT_EQ(FormatTenth(256), "25,6");
    EXPECT_EQ(FormatTenth(5), "0,5");
}

TEST_F(Numbers, MultiByteSeparator)
{
    const std::string arabic = "\xd9\xab";  // U+066B ARABIC DECIMAL SEPARATOR
    setDecimalSeparator(arabic);
    EXPECT_EQ(ParseSingle("1" + arabic + "5"), 1.5f);
    EXPECT_EQ(FormatSingle(0.5f), "0" + arabic + "5");
    EXPECT_EQ(FormatTenth(16), "1" + arabic + "6");
    EXPECT_THROW(ParseSingle("1\xd9" "5"), ConversionError);  // half a separator
    EXPECT_THROW(ParseSingle("1.5"), ConversionError);
}

TEST_F(Numbers, EmptySeparatorReturnsToTheSystemOne)
{
    setDecimalSeparator(",");
    setDecimalSeparator("");
    EXPECT_FALSE(decimalSeparator().empty());
    EXPECT_EQ(FormatSingle(0.5f), "0" + decimalSeparator() + "5");
}

// The C library's %.7G is the same notation; in the test process the C locale is "C".
std::string printfReference(float v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
    return buf;
}

TEST_F(Numbers, FormatSingleAgreesWithPrintfOnRandomFloats)
{
    std::mt19937 rng(20240611);
    int checked = 0;
    while (checked < 200000) {
        const std::uint32_t bits = rng();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || v == 0.0f)
            continue;
        ++checked;
        ASSERT_EQ(FormatSingle(v), printfReference(v)) << "bits " << bits;
    }
}

// Number of significant digits of the shortest text that reads back as v.
int shortestDigits(float v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    int digits = 0;
    for (char* p = buf; p < r.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            ++digits;
    return digits;
}

TEST_F(Numbers, FormatThenParseIsWithinHalfAUnitOfTheSeventhDigit)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> mantissa(1000000, 9999999);
    std::uniform_int_distribution<int> exponent(-44, 38);
    int exactChecked = 0;
    for (int k = 0; k < 200000; ++k) {
        float v;
        if (k % 2 == 0) {
            const std::uint32_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v))
                continue;
        } else {
            // Floats that a 7-digit decimal reads as.
            const std::string text = std::to_string(mantissa(rng)) + "e" + std::to_string(exponent(rng) - 6);
            try {
                v = ParseSingle(text);
            } catch (const OverflowError&) {
                continue;
            }
        }
        const std::string text = FormatSingle(v);
        const float back = ParseSingle(text);
        if (shortestDigits(v) <= 7) {
            ASSERT_EQ(back, v) << text;
            ++exactChecked;
        } else {
            int e = 0;
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.6e", static_cast<double>(v));
            e = std::atoi(std::strchr(buf, 'e') + 1);
            const double halfUnit = 0.5 * std::pow(10.0, e - 6);
            const double halfUlp = 0.5 * (std::nextafter(std::fabs(back), FLT_MAX) - std::fabs(back));
            ASSERT_LE(std::fabs(static_cast<double>(back) - static_cast<double>(v)), halfUnit + halfUlp) << text;
        }
    }
    EXPECT_GT(exactChecked, 50000);
}

TEST(Int16, HelpersRaiseOutsideTheRange)
{
    EXPECT_EQ(add16(32766, 1), 32767);
    EXPECT_THROW(add16(32767, 1), OverflowError);
    EXPECT_EQ(sub16(-32767, 1), -32768);
    EXPECT_THROW(sub16(-32768, 1), OverflowError);
    EXPECT_EQ(mul16(2, 16381), 32762);
    EXPECT_EQ(add16(mul16(2, 16381), 4), 32766);
    EXPECT_THROW(add16(mul16(2, 16382), 4), OverflowError);
    EXPECT_THROW(mul16(-1, -32768), OverflowError);
    EXPECT_THROW(mul16(256, 128), OverflowError);
    EXPECT_EQ(to_i16(-32768), -32768);
    EXPECT_THROW(to_i16(40000), OverflowError);
}

} // namespace
} // namespace quenta
