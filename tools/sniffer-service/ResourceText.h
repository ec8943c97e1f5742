#pragma once

#include "HostAddress.h"
#include "TrafficCounter.h"

#include <map>
#include <string>
#include <vector>

// The text of the service's resources. Lines end in LF.
namespace ResourceText {

// First line of every snapshot; the monitor drops it.
std::string Header(size_t hostCount);
// Last line of every snapshot; the monitor drops it too. Its negative rates keep it last when the
// monitor sorts a snapshot by current speed before dropping the last line.
extern const char* const ClosingLine;
extern const char* const BlockEnd;

void AppendHostLine(std::string& out, const HostRow& row);
// "/" and "/average/1".
std::string Snapshot(const std::vector<HostRow>& rows);
// "/history": HistorySeconds snapshot blocks, oldest first, each followed by a "###" line.
std::string History(const HistoryView& view);
// "/ip": address=name lines, in address order.
std::string NameList(const std::map<HostAddress, std::string>& names);

} // namespace ResourceText
