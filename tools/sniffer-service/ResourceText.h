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

// The text of "/history" made a few lines at a time, so that it can be sent while it is made and
// is never held whole: what it holds is a few numbers and the address text per host.
class HistoryWriter {
public:
    explicit HistoryWriter(HistoryView view);

    // Appends whole lines, about want bytes of them (at least one line); appends nothing once the
    // text is complete.
    void write(std::string& out, size_t want);

private:
    HistoryBlocks blocks_;
    std::string addresses_; // the address texts of all slots, one after the other
    std::vector<uint32_t> addressStart_; // by slot, plus the end
    bool inBlock_ = false;
    size_t line_ = 0; // host lines of the current block already written
};
// "/ip": address=name lines, in address order.
std::string NameList(const std::map<HostAddress, std::string>& names);

} // namespace ResourceText
