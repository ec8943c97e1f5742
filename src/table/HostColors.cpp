#include "table/HostColors.h"

// Ten to a line, as the palette is read: by position in the graph.
// clang-format off
const uint32_t HostColors[HostRanks::PaletteSize] = {
    0x00CC00, 0x0066B3, 0xFF8000, 0xFFCC00, 0x330099, 0x990099, 0xCCFF00, 0xFF0000, 0x808080, 0x008F00,
    0x00487D, 0xB35A00, 0xB38F00, 0x6B006B, 0x8FB300, 0xB30000, 0xBEBEBE, 0x80FF80, 0x80C9FF, 0xFFC080,
    0xFFE680, 0xAA80FF, 0xEE00CC, 0xFF8080, 0x666600, 0xFFBFFF, 0x00FFCC, 0xCC6699, 0x999900, 0x404040,
};
// clang-format on

namespace {
bool busyRate(std::string_view rate, int boldCharCount)
{
    return int(rate.size()) >= boldCharCount || rate.find('M') != std::string_view::npos;
}
} // namespace

bool RowStyle::IsBold(std::string_view recvSpeed, std::string_view sendSpeed, int boldCharCount)
{
    return busyRate(recvSpeed, boldCharCount) || busyRate(sendSpeed, boldCharCount);
}
