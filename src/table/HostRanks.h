#pragma once

// Where a host stands in a snapshot decides how it is shown; these are the only places.
namespace HostRanks {
// The first hosts of a snapshot each get a series of their own, a swatch and a palette colour.
constexpr int GraphedHosts = 29;
// Everyone after them is drawn together as "Other", in the series position after theirs.
constexpr int OtherPosition = GraphedHosts;
// A chart holds the graphed hosts and "Other".
constexpr int MaxSeries = GraphedHosts + 1;
// A newcomer to a full chart takes over the last series of a host of its own.
constexpr int TakeOverIndex = GraphedHosts - 1;
// From this position (counted from 1) on, idle hosts may be left out of the table, and from this
// many host lines on there is an "Other".
constexpr int ActiveRuleFrom = GraphedHosts + 1;
// The palette: one colour per series position.
constexpr int PaletteSize = MaxSeries;
} // namespace HostRanks
