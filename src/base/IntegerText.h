#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The integer text rule shared by the settings file, the service's host lines and the address
// conversion: optional leading blanks, one optional sign, then decimal digits or a hexadecimal
// prefix ("$", "x", "X", "0x", "0X") with hex digits, and nothing else. Hexadecimal text is a
// two's-complement bit pattern of the target width.

// Which characters count as leading blanks: the settings reader skips spaces and tabs,
// host-line fields only spaces.
enum class LeadingBlanks { SpacesOnly, SpacesAndTabs };

std::optional<int32_t> TryParseInt32(std::string_view text, LeadingBlanks blanks = LeadingBlanks::SpacesOnly);
std::optional<int64_t> TryParseInt64(std::string_view text, LeadingBlanks blanks = LeadingBlanks::SpacesOnly);

inline int32_t StrToInt32Def(std::string_view text, int32_t def, LeadingBlanks blanks = LeadingBlanks::SpacesOnly)
{
    auto v = TryParseInt32(text, blanks);
    return v ? *v : def;
}

inline int64_t StrToInt64Def(std::string_view text, int64_t def, LeadingBlanks blanks = LeadingBlanks::SpacesOnly)
{
    auto v = TryParseInt64(text, blanks);
    return v ? *v : def;
}
