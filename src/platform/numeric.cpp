#include "platform/numeric.h"

#include <QLocale>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/runtimeerror.h"

namespace vantelo {

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5)
        return floor;
    if (diff > 0.5)
        return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int16_t toInt16(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw RuntimeError(ErrOverflow);
    return static_cast<std::int16_t>(rounded);
}

std::int32_t toInt32(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw RuntimeError(ErrOverflow);
    return static_cast<std::int32_t>(rounded);
}

std::int16_t checkedInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        throw RuntimeError(ErrOverflow);
    return static_cast<std::int16_t>(value);
}

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// Reads a radix-prefixed whole number ("&H1F", "&O17") after the '&'. Only
// ASCII digits count. However many digits follow, the value stays finite: it
// stops at the largest double, which every reader reports as an overflow.
double radixPrefix(const QString& digits, int radix) {
    double value = 0;
    for (const QChar c : digits) {
        const char16_t u = c.toLower().unicode();
        const int d = (u >= '0' && u <= '9')   ? u - '0'
                      : (u >= 'a' && u <= 'f') ? 10 + (u - 'a')
                                               : -1;
        if (d < 0 || d >= radix)
            break;
        value = std::min(value * radix + d, std::numeric_limits<double>::max());
    }
    return value;
}

// "nan", "inf" and "infinity" in any case and with any sign: texts the
// number parsers accept but that are no value of a setting.
bool namesNoNumber(const QString& trimmed) {
    QStringView word(trimmed);
    if (word.startsWith(QLatin1Char('+')) || word.startsWith(QLatin1Char('-')))
        word = word.mid(1);
    for (const char* name : {"nan", "inf", "infinity"}) {
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Parses a whole text as a number: first in the form the program writes ("."
// as decimal separator), then in the user's locale.
bool parseNumber(const QString& text, double* out) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || namesNoNumber(trimmed))
        return false;
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok && trimmed.startsWith(QLatin1Char('&')) && trimmed.size() > 2) {
        const QChar kind = trimmed.at(1).toUpper();
        if (kind == QLatin1Char('H') || kind == QLatin1Char('O')) {
            const QString digits = trimmed.mid(2);
            const int radix = kind == QLatin1Char('H') ? 16 : 8;
            bool all = true;
            for (const QChar c : digits)
                all = all && c.isLetterOrNumber();
            if (all) {
                value = radixPrefix(digits, radix);
                ok = true;
            }
        }
    }
    if (ok && std::isnan(value))
        return false;
    if (ok)
        *out = value;
    return ok;
}

}  // namespace

double numberPrefix(const QString& text) {
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (!isBlank(c))
            compact.append(c);
    }
    if (compact.startsWith(QLatin1Char('&')) && compact.size() > 1) {
        const QChar kind = compact.at(1).toUpper();
        if (kind == QLatin1Char('H'))
            return radixPrefix(compact.mid(2), 16);
        if (kind == QLatin1Char('O'))
            return radixPrefix(compact.mid(2), 8);
        return 0;
    }
    // The longest prefix of the form [sign] digits [. digits] [e|d [sign] digits].
    int i = 0;
    const int n = compact.size();
    if (i < n && (compact[i] == QLatin1Char('+') || compact[i] == QLatin1Char('-')))
        ++i;
    const int mantissaStart = i;
    while (i < n && compact[i].isDigit() && compact[i].unicode() < 128)
        ++i;
    if (i < n && compact[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && compact[i].isDigit() && compact[i].unicode() < 128)
            ++i;
    }
    const QString mantissa = compact.mid(0, i);
    const bool hasDigits = std::any_of(mantissa.begin() + mantissaStart, mantissa.end(),
                                       [](QChar c) { return c.isDigit(); });
    if (!hasDigits)
        return 0;
    QString number = mantissa;
    if (i < n &&
        (compact[i].toLower() == QLatin1Char('e') || compact[i].toLower() == QLatin1Char('d'))) {
        int j = i + 1;
        if (j < n && (compact[j] == QLatin1Char('+') || compact[j] == QLatin1Char('-')))
            ++j;
        const int expStart = j;
        while (j < n && compact[j].isDigit() && compact[j].unicode() < 128)
            ++j;
        if (j > expStart)
            number += QLatin1Char('e') + compact.mid(i + 1, j - i - 1);
    }
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    return ok && std::isfinite(value) ? value : 0;
}

bool textToBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    double value = 0;
    if (!parseNumber(text, &value))
        throw RuntimeError(ErrTypeMismatch);
    return value != 0;
}

std::int32_t textToInt32(const QString& text) {
    double value = 0;
    if (!parseNumber(text, &value))
        throw RuntimeError(ErrTypeMismatch);
    return toInt32(value);
}

float textToSingle(const QString& text) {
    double value = 0;
    if (!parseNumber(text, &value))
        throw RuntimeError(ErrTypeMismatch);
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX)
        throw RuntimeError(ErrOverflow);
    return static_cast<float>(value);
}

QString booleanToText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString singleToText(float value) {
    // The fewest significant digits that read back as the same single (nine
    // always do); positional notation so that "10000" never becomes "1e+04".
    // Always "." as the separator, so the text reads back in any locale.
    const QLocale c = QLocale::c();
    QString text;
    for (int digits = 1; digits <= 9; ++digits) {
        text = c.toString(static_cast<double>(value), 'g', digits);
        if (text.contains(QLatin1Char('e')) && digits < 7)
            continue;
        bool ok = false;
        if (static_cast<float>(c.toDouble(text, &ok)) == value && ok)
            break;
    }
    return text;
}

}  // namespace vantelo
