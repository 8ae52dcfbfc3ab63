// The four number conversions, the tenth used for the proposed accuracy, and the 16-bit helpers.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <random>

#include "model/errors.h"
#include "model/int16.h"
#include "model/numbers.h"

namespace quenta {
namespace {

// The C library reads and writes the same notation in the "C" locale, whatever the environment.
class Numbers : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
        saved_ = uselocale(c);
    }
    void TearDown() override { uselocale(saved_); }
    locale_t saved_{};
};

TEST_F(Numbers, ParseIntegerRoundsTheDecimalValueTiesToEven)
{
    const std::pair<const char*, int> cases[] = {
        {"3.5", 4}, {"2.5", 2}, {"4.5", 4}, {"5.5", 6}, {"0.5", 0}, {"-2.5", -2}, {"-3.5", -4}, {"-0.5", 0},
        {"0.51", 1}, {"0.49", 0}, {"-0", 0}, {"007", 7}, {" 7 ", 7}, {"\t12\t", 12}, {"+5", 5}, {"1e3", 1000},
        {"1.5E1", 15}, {"25e-1", 2}, {".5", 0}, {"5.", 5}, {"1e-999999", 0}, {"0e999999", 0},
        // The tie is decided on the digits as typed, not on a binary approximation.
        {"2.50000000000000000001", 3}, {"2.49999999999999999999", 2},
        {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767}, {"-32768.5", -32768}, {"3276.7e1", 32767}};
    for (auto [text, value] : cases)
        EXPECT_EQ(ParseInteger(text, "."), value) << '"' << text << '"';
    for (const char* text : {"40000", "32768", "32767.5", "-32769", "-32768.6", "1e5", "1e999999999999999999"})
        EXPECT_THROW(ParseInteger(text, "."), OverflowError) << '"' << text << '"';
}

TEST_F(Numbers, ParsersRefuseWhatIsNotADecimalNumber)
{
    for (const char* text : {"", "   ", "abc", "inf", "-inf", "infinity", "nan", "NaN", "0x10", "0X1A", "1e",
                             "1e+", "e5", "+", "-", ".", "1.2.3", "1 000", "1,5", "--1", "+-1", "5a", "a(1,2)",
                             "1d3", "1e5.5"}) {
        EXPECT_THROW(ParseInteger(text, "."), ConversionError) << '"' << text << '"';
        EXPECT_THROW(ParseSingle(text, "."), ConversionError) << '"' << text << '"';
        float v = 7;
        EXPECT_TRUE(!TryParseSingle(text, ".", v) && v == 7) << '"' << text << '"';
    }
}

// What the random texts below never hold: blanks and a plus sign, more than 25 digits, the
// largest float's edge, exponents beyond any float.
TEST_F(Numbers, ParseSingleBeyondTheRandomTexts)
{
    const std::pair<const char*, float> cases[] = {
        {"  +2.5e3 ", 2500.0f}, {"0.333333333333333333333333333333", 1.0f / 3.0f}, {"1e-99999999999999999999", 0.0f},
        {"3.4028235e38", FLT_MAX}};
    float v = 0;
    for (auto [text, value] : cases) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(ParseSingle(text, ".")), std::bit_cast<std::uint32_t>(value)) << text;
        EXPECT_TRUE(TryParseSingle(text, ".", v) && std::bit_cast<std::uint32_t>(v) == std::bit_cast<std::uint32_t>(value));
    }
    for (const char* text : {"3.4028236e38", "1e99999999999999999999", "340282356779733661637539395458142568448"}) {
        EXPECT_THROW(ParseSingle(text, "."), OverflowError) << '"' << text << '"';
        EXPECT_THROW(TryParseSingle(text, ".", v), OverflowError) << '"' << text << '"';
    }
}

TEST_F(Numbers, ParseSingleAgreesWithStrtofOnRandomTexts)
{
    std::mt19937 rng(99);
    for (int k = 0; k < 200000; ++k) {
        // Every other text is short, like the ones the program writes itself (at most 8 digits,
        // a small exponent or none), which have paths of their own.
        const bool shortText = k % 2, noExponent = k % 4 == 1;
        std::string text = rng() % 2 ? "-" : "";
        const int digits = 1 + static_cast<int>(rng() % (shortText ? 8 : 25)), point = static_cast<int>(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d)
            text += (d == point ? "." : "") + std::string(1, static_cast<char>('0' + rng() % 10));
        if (!noExponent)
            text += "e" + std::to_string(shortText ? static_cast<int>(rng() % 25) - 12 : static_cast<int>(rng() % 100) - 60);
        const float expected = std::strtof(text.c_str(), nullptr);
        if (std::isinf(expected)) {
            ASSERT_THROW(ParseSingle(text, "."), OverflowError) << text;
        } else {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(ParseSingle(text, ".")), std::bit_cast<std::uint32_t>(expected)) << text;
        }
    }
}

// Zero, which the random floats below skip, and the integer and tenth forms.
TEST_F(Numbers, FormatZeroIntegersAndTenths)
{
    EXPECT_EQ(FormatSingle(0.0f, "."), "0");
    EXPECT_EQ(FormatSingle(-0.0f, "."), "0");
    EXPECT_EQ(FormatInteger(-32768), "-32768");
    for (auto [n, text] : {std::pair{4LL, "0.4"}, {16, "1.6"}, {0, "0"}, {100, "10"}, {-1, "-0.1"}, {16381, "1638.1"}})
        EXPECT_EQ(FormatTenth(n, "."), text) << n;
}

TEST_F(Numbers, FormatSingleAgreesWithPrintfOnRandomFloats)
{
    std::mt19937 rng(20240611);
    char buf[64];
    for (int checked = 0; checked < 200000;) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        if (!std::isfinite(v) || v == 0.0f)
            continue;
        ++checked;
        std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
        ASSERT_EQ(FormatSingle(v, "."), buf) << "bits " << std::bit_cast<std::uint32_t>(v);
    }
}

// A separator of two bytes (U+066B ARABIC DECIMAL SEPARATOR) in both directions; the comma is
// used throughout the entry and file tests.
TEST_F(Numbers, TheUsersSeparatorInBothDirections)
{
    const char* arabic = "\xd9\xab";
    EXPECT_EQ(ParseSingle(" -2\xd9\xab" "5E-1 ", arabic), -0.25f);
    EXPECT_EQ(ParseSingle("12345678\xd9\xab" "9", arabic), 12345679.0f);  // beyond the short path
    EXPECT_EQ(ParseInteger("4\xd9\xab" "51", arabic), 5);
    EXPECT_THROW(ParseSingle("1.5", arabic), ConversionError);
    EXPECT_THROW(ParseSingle("1\xd9" "5", arabic), ConversionError);  // half a separator
    EXPECT_EQ(FormatSingle(12345678.0f, arabic), "1\xd9\xab" "234568E+07");
    EXPECT_EQ(FormatTenth(256, arabic), "25\xd9\xab" "6");
}

TEST(Int16, HelpersRaiseOutsideTheRange)
{
    EXPECT_EQ(add16(32766, 1), 32767);
    EXPECT_THROW(add16(32767, 1), OverflowError);
    EXPECT_EQ(sub16(-32767, 1), -32768);
    EXPECT_THROW(sub16(-32768, 1), OverflowError);
    EXPECT_EQ(add16(mul16(2, 16381), 4), 32766);
    EXPECT_THROW(add16(mul16(2, 16382), 4), OverflowError);
    EXPECT_THROW(mul16(-1, -32768), OverflowError);
    EXPECT_THROW(to_i16(40000), OverflowError);
}

} // namespace
} // namespace quenta
