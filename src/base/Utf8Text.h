#pragma once

#include <cstddef>
#include <string_view>

// Names, service lines and settings arrive as bytes. Where they form valid UTF-8 (the desktop's
// encoding) a sequence is one character; any other byte is one character on its own, read as
// Latin-1, so lists saved by older tools still show their accented letters.

// One character of a text: its code point and how many bytes it takes (1 to 4).
struct TTextChar {
    char32_t code = 0;
    size_t length = 1;
};

// The character starting at byte pos, which must lie inside the text.
TTextChar TextCharAt(std::string_view text, size_t pos);

// The first maxChars characters of a text; never ends inside a valid sequence.
std::string_view FirstChars(std::string_view text, size_t maxChars);
