#include "service/LineSplitting.h"

#include "base/StringList.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {
// The position of the first CR or LF in text from pos on, or text.size(). Host lines hold no
// control characters, so eight bytes at a time are passed over while none of them is below 14
// (CR is 13, LF 10); a word holding one is looked at byte by byte.
size_t findLineBreak(std::string_view text, size_t pos)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
    while (text.size() - pos >= 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        if (((word - ones * 14) & ~word & ones * 0x80) != 0) {
            for (size_t end = pos; end < pos + 8; ++end)
                if (text[end] == '\r' || text[end] == '\n')
                    return end;
        }
        pos += 8;
    }
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
        ++pos;
    return pos;
}
} // namespace

void ReplaceLines(std::string_view content, TStringList& target)
{
    size_t nul = content.find('\0');
    if (nul != std::string_view::npos)
        content = content.substr(0, nul);
    target.BeginUpdate();
    // A list filled poll after poll with lines of like lengths is written over in place, so a
    // fetch allocates no line; a sorted list takes its lines through Add, which keeps its order.
    const bool overwrite = !target.Sorted();
    int written = 0;
    try {
        if (!overwrite)
            target.Clear();
        size_t pos = 0;
        while (pos < content.size()) {
            const size_t end = findLineBreak(content, pos);
            const std::string_view line = content.substr(pos, end - pos);
            if (overwrite)
                target.WriteOver(written, line);
            else
                target.Add(std::string(line));
            ++written;
            pos = end;
            if (pos < content.size() && content[pos] == '\r')
                ++pos;
            if (pos < content.size() && content[pos] == '\n')
                ++pos;
        }
        if (overwrite)
            target.Truncate(written);
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
        const size_t end = findLineBreak(piece, pos);
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
