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
        onBlock_(block_);
        block_.Clear();
        blockBytes_ = 0;
        return true;
    }
    blockBytes_ += line.size() + 2;
    if (blockBytes_ > maxBlockBytes_)
        return false;
    block_.Add(std::string(line));
    return true;
}
