#pragma once

#include "table/HostRanks.h"

#include <cstdint>

// The 30 host colours, stored as 0xRRGGBB; entry i colours graph position i and table row i + 1.
extern const uint32_t HostColors[HostRanks::PaletteSize];

// Exchanges the red and blue bytes: a stored entry becomes a window-system colour (red lowest).
constexpr uint32_t SwapRB(uint32_t color)
{
    return (color & 0xFF00FF00u) | ((color & 0xFFu) << 16) | ((color >> 16) & 0xFFu);
}
