#pragma once

#include <functional>
#include <string>
#include <string_view>

class TStringList;

// Replaces the target's lines with those of a fetched body or file: a NUL ends the text; CR, LF
// and CR LF end a line (LF CR ends one and then an empty one); a break at the very end adds no
// empty line. Clearing and filling happen inside one update bracket of the list.
void ReplaceLines(std::string_view content, TStringList& target);

// The same splitting for a text that arrives in pieces: each line goes to the handler as soon as
// its end has arrived, and the last line, which needs no line break, at Finish. A split between
// CR and LF, or anywhere else, gives the lines the whole text would give.
class TLineSplitter {
public:
    using TLineHandler = std::function<void(std::string_view line)>;
    explicit TLineSplitter(TLineHandler onLine);

    void Feed(std::string_view piece);
    void Finish();

private:
    TLineHandler onLine_;
    std::string pending_;
    bool afterCR_ = false;
    bool ended_ = false;
};
