#pragma once

#include "base/StringList.h"

#include <cstddef>
#include <functional>
#include <string_view>

// Cuts the service's history into snapshot blocks as its lines arrive: a line that reads "###"
// once markup is cut off closes a block, which goes to the handler at once; the separator itself
// never enters a block, and lines after the last one form no block. Only one block is held.
class THistoryBlocks {
public:
    using TBlockHandler = std::function<void(const TStringList& block)>;
    THistoryBlocks(TBlockHandler onBlock, size_t maxBlockBytes);

    // False when the block has grown past its cap: no snapshot is that large, so the history is
    // broken and the replay should stop here.
    bool AddLine(std::string_view line);

private:
    TBlockHandler onBlock_;
    size_t maxBlockBytes_;
    size_t blockBytes_ = 0;
    // The lines of the block being read; the list keeps the lines of the last block beyond them,
    // to be written over.
    int used_ = 0;
    TStringList block_;
};
