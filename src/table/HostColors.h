#pragma once

#include "table/HostRanks.h"

#include <cstdint>
#include <string_view>

// The 30 host colours, stored as 0xRRGGBB; entry i colours graph position i and table row i + 1.
extern const uint32_t HostColors[HostRanks::PaletteSize];

// Exchanges the red and blue bytes: a stored entry becomes a window-system colour (red lowest).
constexpr uint32_t SwapRB(uint32_t color)
{
    return (color & 0xFF00FF00u) | ((color & 0xFFu) << 16) | ((color >> 16) & 0xFFu);
}

// How a table row is drawn, by its place and its rate texts.
namespace RowStyle {
// Rows of the graphed hosts carry their series' colour in the first column.
inline bool HasSwatch(int row)
{
    return row >= 1 && row <= HostRanks::GraphedHosts;
}
// A window-system colour (red lowest) for a row with a swatch.
inline uint32_t SwatchColor(int row)
{
    return SwapRB(HostColors[row - 1]);
}
// Hosts beyond the graphed ones are written in grey.
inline bool IsGrey(int row)
{
    return row > HostRanks::GraphedHosts;
}
constexpr uint32_t GreyText = 0x606060;
// A busy host's row is bold: a rate text of at least boldCharCount characters, or any in megas.
bool IsBold(std::string_view recvSpeed, std::string_view sendSpeed, int boldCharCount);
} // namespace RowStyle
