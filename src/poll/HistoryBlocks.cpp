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
    if (StripMarkup(line) == "###") {
        while (block_.Count() > used_)
            block_.Delete(block_.Count() - 1);
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
