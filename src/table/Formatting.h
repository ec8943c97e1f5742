#pragma once

#include <cstdint>
#include <string>

// The separators of the user's regional settings; the window refreshes them at start and whenever
// they change. A ThousandSeparator of 0 means the locale groups no digits.
struct TFormatSettings {
    char ThousandSeparator = ',';
    char DecimalSeparator = '.';
};

// The separators in force for texts that are not given their own.
inline TFormatSettings& FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}

// A number written as "###,###,##0.00": two decimals, halves rounded away from zero as seen in the
// value's first 18 significant digits, and no sign on a value that rounds to 0.00.
std::string FormatAmount(double value, const TFormatSettings& fs = FormatSettings());

// A byte count (or byte rate) in kB, MB or GB, steps of 1024; empty text for 0. "/s" with perSecond.
std::string FormatBytes(int64_t value, bool perSecond, const TFormatSettings& fs = FormatSettings());
// The same count shown in bits (value x 8, wrapping) in kb, Mb or Gb, steps of 1000.
std::string FormatBits(int64_t value, bool perSecond, const TFormatSettings& fs = FormatSettings());

// The same texts written over out, whose storage is reused: a table row's cells are written
// again every poll.
void FormatBytesTo(std::string& out, int64_t value, bool perSecond, const TFormatSettings& fs);
void FormatBitsTo(std::string& out, int64_t value, bool perSecond, const TFormatSettings& fs);
