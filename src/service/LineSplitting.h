#pragma once

#include <string_view>

class TStringList;

// Replaces the target's lines with those of a fetched body or file: a NUL ends the text; CR, LF
// and CR LF end a line (LF CR ends one and then an empty one); a break at the very end adds no
// empty line. Clearing and filling happen inside one update bracket of the list.
void ReplaceLines(std::string_view content, TStringList& target);
