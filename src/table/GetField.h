#pragma once

#include <string>
#include <string_view>

// The n-th field (from 0) of a text split at a separator character; empty when the text has fewer
// fields or n is negative. Nothing is trimmed.
std::string_view GetFieldView(std::string_view text, char separator, int n);

inline std::string GetField(std::string_view text, char separator, int n)
{
    return std::string(GetFieldView(text, separator, n));
}
