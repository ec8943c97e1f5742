#include "MonitorFixture.h"

#include "base/StripMarkup.h"
#include "net/NetHTTPHeaderInfo.h"
#include "poll/HistoryBlocks.h"
#include "service/FetchLimits.h"
#include "service/LineSplitting.h"
#include "table/QuickList.h"

#include "chart/AreaSeries.h"

#include <QPushButton>

namespace {

// Every series of a chart as text: its title and its points, so that two graphs compare whole.
std::vector<std::string> seriesOf(TChart& chart)
{
    std::vector<std::string> out;
    for (int i = 0; i < chart.SeriesList().Count(); ++i) {
        TChartSeries* s = chart.SeriesList().Item(i);
        std::string text = s->Title().toStdString() + ":";
        for (int p = 0; p < s->YValues().Count(); ++p)
            text += " " + std::to_string(s->YValues().Value(p));
        out.push_back(text);
    }
    return out;
}

// A history as the service writes it, with markup and every line break form on the way.
std::string mixedHistory(int blocks, int hosts)
{
    std::string text;
    for (int b = 0; b < blocks; ++b) {
        std::vector<Host> h = Hosts(hosts, 1000 + b * 37);
        text += "Quorvel sniffer\r\n";
        for (size_t i = 0; i < h.size(); ++i)
            text += HostLine(h[i]) + (i % 3 == 0 ? "<br>\n" : i % 3 == 1 ? "\r" : "\r\n");
        text += "end\n" + std::string(b % 2 ? "###<br>\r\n" : "###\n");
    }
    return text + Snapshot(Hosts(2)); // lines after the last separator form no block
}

class LowLimits : public MonitorTest {
protected:
    TFetchLimits saved = FetchLimits();
    void TearDown() override
    {
        FetchLimits() = saved;
        MonitorTest::TearDown();
    }
};

} // namespace

TEST_F(LowLimits, AHistoryFarAboveTheBodyCapReplaysBlockByBlockAsTheWholeWould)
{
    const std::string text = mixedHistory(120, 35);
    FetchLimits().MaxBodyBytes = 16 * 1024;
    ASSERT_GT(text.size(), 8 * FetchLimits().MaxBodyBytes);
    service.Set("/history", text);
    form->rgSpeedClick(form.get()); // sets the unit and replays the history, as at start
    EXPECT_EQ(probe().SampleIndex(), 120);
    EXPECT_TRUE(errorBoxes.empty());
    const auto in = seriesOf(chartIn()), out = seriesOf(chartOut());
    ASSERT_EQ(in.size(), 30u); // 29 hosts and "Other"

    // The same blocks cut from the whole text and processed one by one draw the same graph.
    control<QPushButton>("ClearBtn")->click();
    probe().SampleIndex() = 0;
    TStringList lines, block;
    ReplaceLines(text, lines);
    for (int i = 0; i < lines.Count(); ++i) {
        if (StripMarkup(lines[i]) == "###") {
            probe().ProcessSnapshot(&block);
            block.Clear();
        } else {
            block.Add(lines[i]);
        }
    }
    EXPECT_EQ(probe().SampleIndex(), 120);
    EXPECT_EQ(seriesOf(chartIn()), in);
    EXPECT_EQ(seriesOf(chartOut()), out);

    // Every other resource keeps its cap: a snapshot beyond it is refused like a failed fetch.
    service.Set("/", Snapshot(Hosts(1000)));
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 120);
    EXPECT_EQ(probe().HttpClient(), nullptr);
}

TEST_F(LowLimits, ABrokenHistoryStopsQuietlyAfterItsGoodBlocks)
{
    FetchLimits().MaxHistoryBlockBytes = 4096;
    std::string endless;
    for (int i = 0; i < 2000; ++i)
        endless += HostLine(Hosts(1)[0]) + "\r\n";
    service.Set("/history",
        Snapshot(Hosts(3)) + "###\r\n" + Snapshot(Hosts(3)) + "###\r\n" + endless + "###\r\n" + Snapshot(Hosts(3))
            + "###\r\n");
    form->rgSpeedClick(form.get());
    EXPECT_EQ(probe().SampleIndex(), 2);
    EXPECT_TRUE(errorBoxes.empty());
    EXPECT_EQ(probe().HttpClient(), nullptr); // the half-read reply is never reused

    FetchLimits().MaxHistoryBytes = 2048;
    service.Set("/history", mixedHistory(20, 5));
    probe().LoadHistory();
    EXPECT_LT(probe().SampleIndex(), 2 + 20);
    EXPECT_EQ(probe().HttpClient(), nullptr);
}

TEST_F(MonitorTest, TheServiceAndANameListElsewhereEachGetTheirOwnCredentials)
{
    // Two servers that each demand their own Basic credentials.
    FakeSnifferService names;
    service.RequireAuthorization("Basic " + EncodeBase64("u1:p1"));
    names.RequireAuthorization("Basic " + EncodeBase64("u2:p2"));
    service.Set("/", Snapshot(Hosts(2)));
    service.Set("/history", Snapshot(Hosts(2)) + "###\r\n");
    names.Set("/ip", Hosts(2)[0].address + "=first\r\n");
    CreateForm("IPSource=http://u2:p2@" + names.Address() + "/ip\n");
    probe().ServiceAddress() = "u1:p1@" + service.Address();
    form->rgSpeedClick(form.get());
    probe().LoadHostNames();
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 2); // one block replayed, one live snapshot
    EXPECT_EQ(probe().HostNames()->Lookup(Hosts(2)[0].address), "first");
    EXPECT_EQ(cell(1, 1), "first");
    // The refresh goes back to the name list with the client that polls the service.
    names.Set("/ip", Hosts(2)[0].address + "=renamed\r\n");
    form->HostsTimerTimer(form.get());
    PollOnce();
    EXPECT_EQ(probe().HostNames()->Lookup(Hosts(2)[0].address), "renamed");
    EXPECT_EQ(cell(1, 1), "renamed");
    EXPECT_EQ(probe().SampleIndex(), 3);
}
