#pragma once

#include <cstddef>

// The most one fetch takes in. A resource is held whole, so it has a cap of its own; the history
// is replayed block by block as it arrives, so its cap bounds the time a replay can take, and the
// block cap the memory (a block is one snapshot).
// A fetch blocks the window, so each one is bounded as a whole in time too, not only each wait: a
// snapshot or the name list in the time the user can wait for the window; the history alike, where
// only the service's time counts, not the time the replay spends on the blocks that arrived.
struct TFetchLimits {
    size_t MaxBodyBytes = size_t(64) << 20;
    size_t MaxHistoryBytes = size_t(1) << 30;
    size_t MaxHistoryBlockBytes = size_t(64) << 20;
    int FetchMs = 2000;
    int HistoryFetchMs = 2000;
};

// The limits in force; tests lower them to reach the bounds with small data.
TFetchLimits& FetchLimits();
