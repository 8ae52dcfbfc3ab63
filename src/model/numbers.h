#pragma once
// The four conversions between number texts and values. Every command turns text into numbers
// and numbers into text only through these. Texts are UTF-8; the decimal separator in both
// directions is the one passed, which for the commands is the user's, carried in the working
// state (WorkingState::separator) to whichever thread runs them.
#include <string>
#include <string_view>

#include "model/int16.h"

namespace quenta {

// Text -> 16-bit integer: a decimal number (blanks around it, optional "+" or "-", decimal
// separator, exponent with "E" or "e") rounded to the nearest integer, ties to even
// (4.5 -> 4, 5.5 -> 6). Empty or non-numeric text (also "inf", "nan", hexadecimal): ConversionError.
// A value outside -32768..32767: OverflowError.
i16 ParseInteger(std::string_view text, std::string_view separator);

// Text -> float: the same notation, rounded to the nearest float. Empty or non-numeric text:
// ConversionError. A magnitude beyond the float range: OverflowError. A magnitude too small
// becomes a subnormal or zero.
float ParseSingle(std::string_view text, std::string_view separator);

// ParseSingle for a text that may well be no number: false, with `value` left alone, where
// ParseSingle raises ConversionError; the same value where it returns one; OverflowError as it.
bool TryParseSingle(std::string_view text, std::string_view separator, float& value);

// 16-bit integer -> text: digits, "-" for negatives, no blanks, no leading zeros.
std::string FormatInteger(long long value);

// Float -> text: at most 7 significant digits, trailing zeros and a trailing separator dropped,
// "0" before the separator below 1, and "E" notation with sign and at least two exponent digits
// when the decimal exponent is below -4 or 7 and above: 0.3333333, 1.234568E+07, 1E-05, -2.
std::string FormatSingle(float value, std::string_view separator);

// N/10 in plain decimal notation with the user's separator (0.4, 1.6, 25.6, 0, 10): the desired
// accuracy that Open and Connect propose for a system of order n.
std::string FormatTenth(long long n, std::string_view separator);

// The user's decimal separator: the default locale's (the system's unless the program set
// another), "." when it has none.
std::string system_decimal_separator();

} // namespace quenta
