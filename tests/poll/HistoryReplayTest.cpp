#include "poll/HistoryReplay.h"
#include "poll/HistoryBlocks.h"
#include "service/FetchLimits.h"
#include "service/ServiceAccess.h"
#include "support/SnapshotText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

// A history in a file: the monitor reads a location that is no URL as a file, so the replay runs
// with no service at all.
class HistoryFile {
public:
    explicit HistoryFile(const std::string& text)
    {
        char tmpl[] = "/tmp/qtm-history-XXXXXX";
        const int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        path_ = tmpl;
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~HistoryFile() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace

TEST(HistoryReplayTest, BlocksEndAtExactSeparatorLinesOnly)
{
    const HistoryFile file(Snapshot(Hosts(1)) + "###<br>\r\n" + Snapshot(Hosts(2)) + "### \r\n" + Snapshot(Hosts(3))
        + "###\r\n" + Snapshot(Hosts(4)));
    TServiceAccess service;
    std::vector<int> blockLines;
    EXPECT_TRUE(ReplayHistory(service, file.Path(), [&](const TStringList& block) {
        blockLines.push_back(block.Count());
        return true;
    }));
    // Two blocks: the first, and the second with its "### " line and the third snapshot as data;
    // the lines after the last separator form no block.
    EXPECT_EQ(blockLines, (std::vector<int> { 3, 4 + 1 + 5 }));
}

TEST(HistoryReplayTest, TheAnswerIsWhetherAnyBlockWasApplied)
{
    const HistoryFile file(Snapshot(Hosts(1)) + "###\r\n" + Snapshot(Hosts(2)) + "###\r\n");
    TServiceAccess service;
    int blocks = 0;
    EXPECT_TRUE(ReplayHistory(service, file.Path(), [&](const TStringList&) { return ++blocks == 1; }));
    EXPECT_EQ(blocks, 2);
    EXPECT_FALSE(ReplayHistory(service, file.Path(), [](const TStringList&) { return false; }));
    EXPECT_FALSE(ReplayHistory(service, "/nonexistent/qtm-history", [](const TStringList&) { return true; }));
}

TEST(HistoryReplayTest, ABlockPastItsCapStopsTheReplayAfterTheGoodOnes)
{
    const size_t cap = FetchLimits().MaxHistoryBlockBytes;
    FetchLimits().MaxHistoryBlockBytes = 200;
    const HistoryFile file(
        Snapshot(Hosts(1)) + "###\r\n" + Snapshot(Hosts(20)) + "###\r\n" + Snapshot(Hosts(1)) + "###\r\n");
    TServiceAccess service;
    int blocks = 0;
    EXPECT_TRUE(ReplayHistory(service, file.Path(), [&](const TStringList&) { return ++blocks > 0; }));
    EXPECT_EQ(blocks, 1);
    FetchLimits().MaxHistoryBlockBytes = cap;
}

TEST(HistoryBlocksTest, BlocksEndAtSeparatorsAndAnOversizedBlockStopsTheReplay)
{
    std::vector<std::vector<std::string>> blocks;
    THistoryBlocks history(
        [&](const TStringList& block) {
            blocks.emplace_back();
            for (int i = 0; i < block.Count(); ++i)
                blocks.back().push_back(block[i]);
        },
        20);
    for (std::string_view line : { "###", "a<b>", "### ", "###<br>", "###", "tail" })
        EXPECT_TRUE(history.AddLine(line));
    EXPECT_EQ(blocks, std::vector<std::vector<std::string>>({ {}, { "a<b>", "### " }, {} }));
    blocks.clear();
    THistoryBlocks lookalikes([&](const TStringList& block) { blocks.emplace_back(block.Count(), ""); }, 100);
    for (std::string_view line : { "<b>###", "####", "##", "#", "", "##<", "#<##" })
        EXPECT_TRUE(lookalikes.AddLine(line));
    EXPECT_TRUE(lookalikes.AddLine("###<"));
    EXPECT_EQ(blocks, std::vector<std::vector<std::string>>({ std::vector<std::string>(7, "") }));
    EXPECT_TRUE(history.AddLine("0123456789"));
    EXPECT_FALSE(history.AddLine("0123456789"));
}
