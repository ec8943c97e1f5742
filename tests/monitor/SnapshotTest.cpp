#include "MonitorFixture.h"

#include "chart/AreaSeries.h"
#include "controls/TRadioGroup.h"
#include "table/SnapshotModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include <functional>
#include <stdexcept>
#include <vector>

class SnapshotTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        form->rgSpeedClick(form.get()); // unit scale as at start: kbit/s
    }
    void serve(const std::vector<Host>& hosts) { service.Set("/", Snapshot(hosts)); }
    QString label(const char* name) { return control<QLabel>(name)->text(); }
};

TEST_F(SnapshotTest, EmptyResponseChangesNothing)
{
    service.Set("/", "");
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 0);
    EXPECT_EQ(label("IRLabel"), "IRLabel");
    EXPECT_EQ(chartIn().SeriesList().Count(), 0);
    service.Remove("/"); // a failed fetch too
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 0);
}

// A poll fetches over the lines of the poll before the last; when its fetch fails, those lines
// must not pass for its answer.
TEST_F(SnapshotTest, AFailedFetchAfterAnsweredPollsIsNoAnswer)
{
    serve(Hosts(3));
    PollOnce();
    serve(Hosts(2));
    PollOnce();
    ASSERT_EQ(probe().SampleIndex(), 2);
    service.Remove("/");
    EXPECT_FALSE(probe().ProcessSnapshot(nullptr));
    EXPECT_FALSE(probe().ProcessSnapshot(nullptr));
    EXPECT_EQ(probe().SampleIndex(), 2);
    EXPECT_EQ(grid().RowCount(), 3);
}

TEST_F(SnapshotTest, SnapshotWithoutHostLinesStillCountsAndPads)
{
    serve(Hosts(3));
    PollOnce();
    ASSERT_EQ(chartIn().SeriesList().Count(), 3);
    service.Set("/", "only a header\r\nand a closing line\r\n");
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 2);
    EXPECT_EQ(label("IRLabel"), ", ");
    EXPECT_EQ(label("ISLabel"), ", ");
    EXPECT_EQ(grid().RowCount(), 1);
    EXPECT_EQ(chartIn().SeriesList().Item(0)->PointCount(), 100);
    service.Set("/", "one line\r\n");
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 3);
}

TEST_F(SnapshotTest, RowsTextsAndLabelsOfALiveSnapshot)
{
    service.Set("/ip", "198.18.0.1=alpha\n");
    probe().LoadHostNames();
    serve({ { "198.18.0.1", 1536, 128, 1048576, 1073741824 }, { "198.18.0.2", 0, 0, 0, 0 } });
    PollOnce();
    EXPECT_EQ(grid().RowCount(), 3);
    EXPECT_EQ(cell(1, 1), "alpha");
    EXPECT_EQ(cell(2, 1), "198.18.0.1");
    EXPECT_EQ(cell(3, 1), "1.02 kb/s"); // 128 bytes/s in bits
    EXPECT_EQ(cell(4, 1), "12.29 kb/s");
    EXPECT_EQ(cell(5, 1), "1.00 GB");
    EXPECT_EQ(cell(6, 1), "1.00 MB");
    EXPECT_EQ(cell(1, 2), ""); // no name for this address
    EXPECT_EQ(cell(3, 2), "");
    EXPECT_EQ(label("ISLabel"), "12.29 kb/s, 1.00 MB");
    EXPECT_EQ(label("IRLabel"), "1.02 kb/s, 1.00 GB");
    EXPECT_EQ(service.Requests().back(), "/"); // the 5-second average is ticked at start

    service.Set("/average/1", Snapshot({ { "198.18.0.1", 1536, 128, 1048576, 1073741824 } }));
    control<QCheckBox>("cbAverage")->setChecked(false);
    control<TRadioGroup>("rgSpeed")->SetItemIndex(1);
    PollOnce();
    EXPECT_EQ(service.Requests().back(), "/average/1");
    EXPECT_EQ(cell(3, 1), "0.13 kB/s");
}

TEST_F(SnapshotTest, HistoryBlocksLeaveTheCellsAloneAndUseAddressesAsTitles)
{
    service.Set("/ip", "198.18.0.1=alpha\n");
    probe().LoadHostNames();
    serve(Hosts(2));
    PollOnce();
    ASSERT_EQ(cell(1, 1), "alpha");
    chartIn().SeriesList().Clear();
    TStringList block = Lines(Snapshot({ { "198.18.0.1", 5, 5, 5, 5 }, { "198.18.0.9", 1, 1, 1, 1 } }));
    probe().ProcessSnapshot(&block);
    EXPECT_EQ(cell(1, 1), "alpha");
    EXPECT_EQ(cell(2, 2), Hosts(2)[1].address);
    EXPECT_EQ(grid().RowCount(), 1); // only the header row with "active machines" ticked
    EXPECT_EQ(chartIn().SeriesList().Item(0)->Title(), "198.18.0.1");
    EXPECT_EQ(probe().SampleIndex(), 2);
    EXPECT_EQ(label("IRLabel"), "0.05 kb/s, 0.01 kB");
}

TEST_F(SnapshotTest, HostsSharingASeriesDoNotAbandonTheSnapshot)
{
    serve({ { "198.18.0.1", 1, 1 }, { "198.18.0.1", 2, 2 }, { "198.18.0.1", 3, 3 }, { "junk", 4, 4 }, { "", 5, 5 } });
    PollOnce();
    EXPECT_EQ(probe().SampleIndex(), 1);
    EXPECT_EQ(label("IRLabel").left(9), "0.12 kb/s");
    for (int i = 0; i < chartIn().SeriesList().Count(); ++i)
        EXPECT_EQ(chartIn().SeriesList().Item(i)->PointCount(), 100);
}

TEST_F(SnapshotTest, RegionalSeparatorsAreTakenAgainWhenTheyChange)
{
    serve({ { "198.18.0.1", 0, 0, 1536, 1048575 } });
    PollOnce();
    EXPECT_EQ(cell(6, 1), "1.50 kB");
    form->setLocale(QLocale(QLocale::German, QLocale::Germany));
    PollOnce();
    EXPECT_EQ(cell(6, 1), "1,50 kB");
    EXPECT_EQ(cell(5, 1), "1.024,00 kB");
    form->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    PollOnce();
    EXPECT_EQ(cell(5, 1), "1,024.00 kB");
}

// fr_FR and fr_CH group with U+202F, de_CH with U+2019: the table writes a single-byte stand-in.
TEST_F(SnapshotTest, SeparatorsOutsideLatin1StillGroupTheDigits)
{
    serve({ { "198.18.0.1", 0, 0, 1536, 1048575 } });
    form->setLocale(QLocale(QLocale::French, QLocale::France));
    PollOnce();
    EXPECT_EQ(cell(5, 1),
        "1\xA0"
        "024,00 kB");
    EXPECT_EQ(label("IRLabel"),
        QString::fromUtf8(", 1\xC2\xA0"
                          "024,00 kB"));
    form->setLocale(QLocale(QLocale::German, QLocale::Switzerland));
    PollOnce();
    EXPECT_EQ(cell(5, 1), "1'024.00 kB");
    EXPECT_EQ(label("IRLabel"), ", 1'024.00 kB");
}

// A replay sets the totals' labels once, after its last block: they must end as block-by-block
// application leaves them, texts, sizes and fonts, also when the replay breaks off.
TEST_F(SnapshotTest, AReplayLeavesTheTotalsAsTheLastBlockAppliedAlone)
{
    std::vector<TStringList> blocks;
    for (int64_t scale : { int64_t(1), int64_t(1) << 40, int64_t(1) << 20, int64_t(3) })
        blocks.push_back(Lines(Snapshot({ { "198.18.0.1", 7 * scale, 5 * scale, 9 * scale, 11 * scale },
            { "198.18.0.2", scale, 2 * scale, 3 * scale, 4 * scale } })));
    struct TLabelState {
        QString text;
        QRect geometry;
        int pixelSize;
        bool operator==(const TLabelState& o) const
        {
            return text == o.text && geometry == o.geometry && pixelSize == o.pixelSize;
        }
    };
    auto state = [&](const char* name) {
        auto* l = control<QLabel>(name);
        return TLabelState { l->text(), l->geometry(), l->font().pixelSize() };
    };
    for (size_t last = 1; last <= blocks.size(); ++last) {
        const std::vector<TStringList> shown(blocks.begin(), blocks.begin() + long(last));
        for (const TStringList& block : shown)
            probe().ProcessSnapshot(&block);
        const TLabelState in = state("IRLabel"), out = state("ISLabel");
        // Something else first, so that the replay must set them.
        probe().ProcessSnapshot(&blocks[(last + 1) % blocks.size()]);
        ASSERT_TRUE(probe().ReplayBlocks(shown));
        EXPECT_TRUE(state("IRLabel") == in) << last;
        EXPECT_TRUE(state("ISLabel") == out) << last;
        probe().ProcessSnapshot(&blocks[(last + 1) % blocks.size()]);
        auto breaksOff = [&](const std::function<bool(const TStringList&)>& apply) -> bool {
            for (const TStringList& block : shown)
                apply(block);
            throw std::runtime_error("connection lost");
        };
        EXPECT_THROW(probe().ApplyHistory(breaksOff), std::runtime_error);
        EXPECT_TRUE(state("IRLabel") == in) << last;
    }
}

// Rows off screen get their texts only once they are read or seen; each must still show the poll
// that last wrote it, in that poll's unit, through later polls that write fewer rows and through
// history blocks, which write none.
TEST_F(SnapshotTest, RowsOffScreenShowThePollThatLastWroteThem)
{
    control<TRadioGroup>("RadioGroup1")->SetItemIndex(1); // "Current speed": only busy hosts are written
    control<QCheckBox>("cbActiveIPs")->setChecked(false);
    std::vector<Host> hosts = Hosts(300);
    service.Set("/ip", hosts[149].address + "=before\n");
    probe().LoadHostNames();
    serve(hosts);
    PollOnce();
    const std::string first150 = FormatRate(hosts[149].recv, true);
    const std::string first299 = FormatRate(hosts[299].send, true);
    // A reload of the names leaves the rows of the poll before as they were.
    service.Set("/ip", hosts[149].address + "=after\n");
    probe().LoadHostNames();

    control<TRadioGroup>("rgSpeed")->SetItemIndex(1); // bytes
    for (size_t i = 10; i < hosts.size(); ++i)
        hosts[i].send = hosts[i].recv = 0;
    hosts[0].recv = 7 << 20;
    serve(hosts);
    PollOnce();
    TStringList block = Lines(Snapshot(Hosts(40)));
    probe().ProcessSnapshot(&block);
    serve(hosts);
    PollOnce();
    EXPECT_EQ(grid().RowCount(), 301);
    EXPECT_EQ(cell(3, 1), "7.00 MB/s");
    EXPECT_EQ(cell(3, 150), first150);
    EXPECT_EQ(cell(2, 150), hosts[149].address);
    EXPECT_EQ(cell(1, 150), "before");
    EXPECT_EQ(cell(4, 300), first299);
    EXPECT_EQ(cell(3, 10), FormatRate(hosts[9].recv, false));

    // A poll that writes fewer rows leaves the rest showing the poll before, though they were
    // never read while it was the last.
    const std::string last8 = FormatRate(hosts[7].recv, false);
    std::vector<Host> fewer = hosts;
    for (size_t i = 0; i < fewer.size(); ++i)
        fewer[i].recv = fewer[i].send = i < 5 ? 3 : 0;
    serve(fewer);
    PollOnce();
    EXPECT_EQ(cell(3, 1), "0.00 kB/s");
    EXPECT_EQ(cell(3, 8), last8);
}
