#include "table/Formatting.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// Sign, grouped integer digits, the decimal separator and two decimals, from the value in
// hundredths written as decimal digits without leading zeros (or "0"). Measured first and then
// written in place: four of these run for every host of every poll.
size_t hundredthsLength(const TFormatSettings& fs, bool negative, std::string_view digits)
{
    const size_t intDigits = digits.size() > 2 ? digits.size() - 2 : 0;
    const size_t separators = fs.ThousandSeparator != 0 && intDigits > 0 ? (intDigits - 1) / 3 : 0;
    return (negative && digits != "0" ? 1 : 0) + std::max<size_t>(intDigits, 1) + separators + 3;
}

char* writeHundredths(const TFormatSettings& fs, char* w, bool negative, std::string_view digits)
{
    if (negative && digits != "0")
        *w++ = '-';
    const size_t intDigits = digits.size() > 2 ? digits.size() - 2 : 0;
    if (intDigits == 0) {
        *w++ = '0';
    } else {
        for (size_t i = 0; i < intDigits; ++i) {
            if (i > 0 && fs.ThousandSeparator != 0 && (intDigits - i) % 3 == 0)
                *w++ = fs.ThousandSeparator;
            *w++ = digits[i];
        }
    }
    *w++ = fs.DecimalSeparator != 0 ? fs.DecimalSeparator : '.';
    if (digits.size() < 2) {
        *w++ = '0';
        *w++ = digits.empty() ? '0' : digits[0];
    } else {
        *w++ = digits[digits.size() - 2];
        *w++ = digits[digits.size() - 1];
    }
    return w;
}

void appendHundredths(const TFormatSettings& fs, std::string& out, bool negative, std::string_view digits)
{
    const size_t start = out.size();
    out.resize(start + hundredthsLength(fs, negative, digits));
    writeHundredths(fs, &out[start], negative, digits);
}

// Units are two letters.
char* writeUnit(char* w, const char* unit, bool perSecond)
{
    *w++ = ' ';
    *w++ = unit[0];
    *w++ = unit[1];
    if (perSecond) {
        *w++ = '/';
        *w++ = 's';
    }
    return w;
}

void appendUnit(std::string& out, const char* unit, bool perSecond)
{
    char tail[8];
    out.append(tail, static_cast<size_t>(writeUnit(tail, unit, perSecond) - tail));
}

// The whole text of a value in hundredths that fits 64 bits, built on the stack and copied once.
void hundredthsText(
    std::string& out, const TFormatSettings& fs, bool negative, uint64_t hundredths, const char* unit, bool perSecond)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, hundredths).ptr;
    // At most 20 digits: sign, 18 integer digits, 5 separators, point, 2 decimals and the unit.
    char text[48];
    char* w = writeHundredths(fs, text, negative, std::string_view(digits, static_cast<size_t>(end - digits)));
    w = writeUnit(w, unit, perSecond);
    out.assign(text, static_cast<size_t>(w - text));
}

// Adds one unit at the last digit of a digit string; the caller leaves a leading "0" for the carry.
void incrementDigits(std::string& digits)
{
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
}

// The exact way: the double's decimal expansion, rounded to 18 significant digits, then to two
// decimals, halves away from zero both times.
void appendExact(const TFormatSettings& fs, std::string& out, double value)
{
    const double magnitude = std::fabs(value);
    // Every double of 2^-8 or more has at most 60 fractional digits, so 70 decimals are exact for
    // everything that can round to 0.01 or more.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, 70);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    const size_t point = text.find('.');
    std::string digits = "0";
    digits.append(text.substr(0, point)).append(text.substr(point + 1));
    size_t pointPos = point + 1; // digits before the decimal point, the carry "0" included

    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos && first + 18 < digits.size()) {
        const bool up = digits[first + 18] >= '5';
        digits.resize(first + 18);
        if (up)
            incrementDigits(digits);
    }
    digits.resize(std::max(digits.size(), pointPos + 3), '0');
    const bool up = digits[pointPos + 2] >= '5';
    digits.resize(pointPos + 2);
    if (up)
        incrementDigits(digits);

    const size_t lead = digits.find_first_not_of('0');
    appendHundredths(
        fs, out, value < 0, lead == std::string::npos ? std::string_view("0") : std::string_view(digits).substr(lead));
}

uint64_t magnitudeOf(int64_t v)
{
    return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

} // namespace

std::string FormatAmount(double value, const TFormatSettings& fs)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    std::string out;
    appendExact(fs, out, value);
    return out;
}

std::string FormatBytes(int64_t value, bool perSecond, const TFormatSettings& fs)
{
    std::string out;
    FormatBytesTo(out, value, perSecond, fs);
    return out;
}

std::string FormatBits(int64_t value, bool perSecond, const TFormatSettings& fs)
{
    std::string out;
    FormatBitsTo(out, value, perSecond, fs);
    return out;
}

void FormatBytesTo(std::string& out, int64_t value, bool perSecond, const TFormatSettings& fs)
{
    out.clear();
    if (value == 0)
        return;
    int shift = 10;
    const char* unit = "kB";
    if (value >= (int64_t(1) << 30)) {
        shift = 30;
        unit = "GB";
    } else if (value >= (int64_t(1) << 20)) {
        shift = 20;
        unit = "MB";
    }
    const uint64_t magnitude = magnitudeOf(value);
    if (magnitude < (uint64_t(1) << 53)) {
        // Below 2^53 the quotient by a power of two is exact and has few enough digits that the
        // 18-digit view changes nothing: integer rounding gives the same text, far faster.
        const uint64_t hundredths = (magnitude * 100 + (uint64_t(1) << (shift - 1))) >> shift;
        hundredthsText(out, fs, value < 0, hundredths, unit, perSecond);
        return;
    }
    appendExact(fs, out, static_cast<double>(value) / static_cast<double>(uint64_t(1) << shift));
    appendUnit(out, unit, perSecond);
}

void FormatBitsTo(std::string& out, int64_t value, bool perSecond, const TFormatSettings& fs)
{
    out.clear();
    const auto bits = static_cast<int64_t>(static_cast<uint64_t>(value) * 8u);
    if (bits == 0)
        return;
    uint64_t divisor = 1000;
    const char* unit = "kb";
    if (bits >= 1000000000) {
        divisor = 1000000000;
        unit = "Gb";
    } else if (bits >= 1000000) {
        divisor = 1000000;
        unit = "Mb";
    }
    const uint64_t magnitude = magnitudeOf(bits);
    // Below 8e13 bits a quotient that is not exactly halfway lies further from the rounding point
    // than the double's error, so integer rounding decides the same; exact halves go the exact way
    // because the double may sit on either side of them.
    if (magnitude < 80000000000000ULL) {
        const uint64_t scaled = magnitude * 100;
        const uint64_t rest = scaled % divisor;
        if (rest * 2 != divisor) {
            hundredthsText(out, fs, bits < 0, scaled / divisor + (rest * 2 > divisor ? 1 : 0), unit, perSecond);
            return;
        }
    }
    appendExact(fs, out, static_cast<double>(bits) / static_cast<double>(divisor));
    appendUnit(out, unit, perSecond);
}
