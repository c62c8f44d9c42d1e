#pragma once

#include <QString>
#include <cstdint>

// The numeric conversions the program relies on: floating-point values become
// integers by rounding halves to the even neighbour, 16- and 32-bit results
// outside their range are an overflow run-time error, and settings hold numbers
// as text.
namespace vantelo {

double roundHalfEven(double value);

// Round half to even into a 16-bit or 32-bit integer; out of range raises
// error 6 (Overflow).
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// 16-bit arithmetic with the overflow error.
std::int16_t checkedInt16(std::int64_t value);

// The longest leading part of the text that reads as a number: blanks are
// skipped anywhere, "." is the only decimal separator, "&H" and "&O" prefixes
// read hexadecimal and octal. Text without such a part reads as 0; never fails.
double numberPrefix(const QString& text);

// Strict conversions of a whole text, as the settings reader needs them.
// Each accepts a number with "." as the decimal separator, and also a number in
// the user's locale. They raise error 13 for text that is no number.
bool textToBoolean(const QString& text);        // "True"/"False" in any case, or a number
std::int32_t textToInt32(const QString& text);  // rounded half to even; 6 when out of range
float textToSingle(const QString& text);        // 6 when beyond the single range

// Text forms written to the settings.
QString booleanToText(bool value);  // "True" / "False"
QString singleToText(float value);  // shortest form that reads back the same value

}  // namespace vantelo
