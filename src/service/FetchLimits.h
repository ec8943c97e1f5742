#pragma once

#include <cstddef>

// The most one fetch takes in. A resource is held whole, so it has a cap of its own; the history
// is replayed block by block as it arrives, so its cap bounds the time a replay can take, and the
// block cap the memory (a block is one snapshot).
struct TFetchLimits {
    size_t MaxBodyBytes = size_t(64) << 20;
    size_t MaxHistoryBytes = size_t(1) << 30;
    size_t MaxHistoryBlockBytes = size_t(64) << 20;
};

// The limits in force; tests lower them to reach the bounds with small data.
TFetchLimits& FetchLimits();
