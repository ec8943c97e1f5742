#pragma once

#include <string_view>

// The text before the first "<", so that a service wrapping its lines in markup still yields plain fields.
inline std::string_view StripMarkup(std::string_view line)
{
    return line.substr(0, line.find('<'));
}
