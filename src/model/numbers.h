#pragma once
// The four conversions between number texts and values. Every command turns text into numbers
// and numbers into text only through these. Texts are UTF-8; the decimal separator in both
// directions is the user's (QLocale::system() unless a DecimalSeparator object says otherwise).
#include <string>
#include <string_view>

#include "model/int16.h"

namespace quenta {

// Text -> 16-bit integer: a decimal number (blanks around it, optional "+" or "-", decimal
// separator, exponent with "E" or "e") rounded to the nearest integer, ties to even
// (4.5 -> 4, 5.5 -> 6). Empty or non-numeric text (also "inf", "nan", hexadecimal): ConversionError.
// A value outside -32768..32767: OverflowError.
i16 ParseInteger(std::string_view text);

// Text -> float: the same notation, rounded to the nearest float. Empty or non-numeric text:
// ConversionError. A magnitude beyond the float range: OverflowError. A magnitude too small
// becomes a subnormal or zero.
float ParseSingle(std::string_view text);
// The same, for loops over many numbers: `separator` is decimalSeparator(), looked up once.
float ParseSingle(std::string_view text, const std::string& separator);

// 16-bit integer -> text: digits, "-" for negatives, no blanks, no leading zeros.
std::string FormatInteger(long long value);

// Float -> text: at most 7 significant digits, trailing zeros and a trailing separator dropped,
// "0" before the separator below 1, and "E" notation with sign and at least two exponent digits
// when the decimal exponent is below -4 or 7 and above: 0.3333333, 1.234568E+07, 1E-05, -2.
std::string FormatSingle(float value);

// N/10 in plain decimal notation with the user's separator (0.4, 1.6, 25.6, 0, 10): the desired
// accuracy that Open and Connect propose for a system of order n.
std::string FormatTenth(long long n);

// The user's decimal separator: the system locale's, or the one of the innermost DecimalSeparator
// object alive on this thread. The object's separator holds until it goes, so that a test runs
// under another locale's separator without anything to undo.
const std::string& decimalSeparator();

class DecimalSeparator {
public:
    explicit DecimalSeparator(std::string separator);
    ~DecimalSeparator();
    DecimalSeparator(const DecimalSeparator&) = delete;
    DecimalSeparator& operator=(const DecimalSeparator&) = delete;

private:
    friend const std::string& decimalSeparator();
    std::string value_;
    const DecimalSeparator* outer_;
};

} // namespace quenta
