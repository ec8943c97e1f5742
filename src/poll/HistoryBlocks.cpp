#include "poll/HistoryBlocks.h"

#include "base/StripMarkup.h"

#include <string>

THistoryBlocks::THistoryBlocks(TBlockHandler onBlock, size_t maxBlockBytes)
    : onBlock_(std::move(onBlock))
    , maxBlockBytes_(maxBlockBytes)
{
}

bool THistoryBlocks::AddLine(std::string_view line)
{
    // Only the first four bytes can make a separator: "###" alone, or before markup. Searching
    // the whole line for markup cost a scan of every host line of the history.
    if (StripMarkup(line.substr(0, 4)) == "###") {
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
    block_.WriteOver(used_, line);
    ++used_;
    return true;
}
