#include "service/LineSplitting.h"

#include "base/StringList.h"

#include <string>

void ReplaceLines(std::string_view content, TStringList& target)
{
    size_t nul = content.find('\0');
    if (nul != std::string_view::npos)
        content = content.substr(0, nul);
    target.BeginUpdate();
    try {
        target.Clear();
        size_t pos = 0;
        while (pos < content.size()) {
            // A plain scan: find_first_of searches its set of two once per character, which made
            // splitting the largest part of every fetch.
            size_t end = pos;
            while (end < content.size() && content[end] != '\r' && content[end] != '\n')
                ++end;
            target.Add(std::string(content.substr(pos, end - pos)));
            pos = end;
            if (pos < content.size() && content[pos] == '\r')
                ++pos;
            if (pos < content.size() && content[pos] == '\n')
                ++pos;
        }
    } catch (...) {
        target.EndUpdate();
        throw;
    }
    target.EndUpdate();
}

TLineSplitter::TLineSplitter(TLineHandler onLine)
    : onLine_(std::move(onLine))
{
}

void TLineSplitter::Feed(std::string_view piece)
{
    if (ended_)
        return;
    size_t nul = piece.find('\0');
    if (nul != std::string_view::npos) {
        piece = piece.substr(0, nul);
        ended_ = true;
    }
    size_t pos = 0;
    if (afterCR_ && !piece.empty()) {
        afterCR_ = false;
        if (piece[0] == '\n')
            pos = 1;
    }
    while (pos < piece.size()) {
        size_t end = pos;
        while (end < piece.size() && piece[end] != '\r' && piece[end] != '\n')
            ++end;
        if (end == piece.size()) {
            pending_.append(piece.substr(pos));
            return;
        }
        if (pending_.empty()) {
            onLine_(piece.substr(pos, end - pos));
        } else {
            pending_.append(piece.substr(pos, end - pos));
            std::string line;
            line.swap(pending_);
            onLine_(line);
        }
        pos = end + 1;
        if (piece[end] == '\r') {
            if (pos == piece.size())
                afterCR_ = true; // an LF may still come with the next piece
            else if (piece[pos] == '\n')
                ++pos;
        }
    }
}

void TLineSplitter::Finish()
{
    if (!pending_.empty()) {
        std::string line;
        line.swap(pending_);
        onLine_(line);
    }
    ended_ = true;
}
