// Floating-point numbers as text: the run-time library's general, exponent, fixed and number
// forms, and its format strings.
//
// Digits come from the value's 15 significant decimal digits (what a double holds), so a value
// such as 0.1 + 0.2 reads "0.3". The decimal and thousand separators are the locale's.
//
// Format strings: up to three sections separated by ';' (positive, negative, zero; an empty or
// missing section falls back to the first); '0' a digit always shown, '#' a digit shown when
// significant, '.' the decimal separator (the first one), ',' anywhere before it thousand
// grouping, "E+", "E-", "e+", "e-" followed by up to four '0' the exponent, text in single or
// double quotes and every other character as it stands. An empty format is the general form.
#ifndef CLASSLIB_FLOAT_FORMAT_H
#define CLASSLIB_FLOAT_FORMAT_H

#include <cstdint>
#include <string>
#include <string_view>

enum TFloatFormat : std::uint8_t { ffGeneral, ffExponent, ffFixed, ffNumber };

// precision: significant digits (1..15, clamped); digits: decimals for ffFixed and ffNumber, the
// minimum exponent digits for ffGeneral and ffExponent (0..4).
std::wstring FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// The general form with 15 significant digits.
std::wstring FloatToStr(double value);
std::wstring FormatFloat(std::wstring_view format, double value);

#endif
