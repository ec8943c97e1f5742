#pragma once

#include <QString>

#include <string_view>

// No label, cell or title shows more than this many characters; a hostile name list or service
// line must not make a repaint lay out megabytes of text.
constexpr qsizetype DisplayTextLimit = 1024;

// The text a widget shows for bytes of names, service lines or formatted numbers: UTF-8 where the
// bytes are valid UTF-8, every other byte as its Latin-1 character, at most maxChars characters.
QString DisplayText(std::string_view bytes, qsizetype maxChars = DisplayTextLimit);
