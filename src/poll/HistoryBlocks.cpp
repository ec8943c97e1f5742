#include "poll/HistoryBlocks.h"

#include <string>

namespace {
// StripMarkup(line) == "###" without searching the whole line for markup: the text before the
// first "<" is "###" only when the line starts with it and ends or opens markup there.
bool isSeparator(std::string_view line)
{
    return line.size() >= 3 && line.compare(0, 3, "###") == 0 && (line.size() == 3 || line[3] == '<');
}
} // namespace

THistoryBlocks::THistoryBlocks(TBlockHandler onBlock, size_t maxBlockBytes)
    : onBlock_(std::move(onBlock))
    , maxBlockBytes_(maxBlockBytes)
{
}

bool THistoryBlocks::AddLine(std::string_view line)
{
    if (isSeparator(line)) {
        block_.Truncate(used_);
        onBlock_(block_);
        used_ = 0;
        blockBytes_ = 0;
        return true;
    }
    blockBytes_ += line.size() + 2;
    if (blockBytes_ > maxBlockBytes_)
        return false;
    // A history of hundreds of blocks of like size writes each block over the last one's lines
    // instead of allocating every line anew.
    if (used_ < block_.Count()) {
        block_.PutText(used_, line);
        block_.SetTag(used_, 0);
    } else {
        block_.Add(std::string(line));
    }
    ++used_;
    return true;
}
