#include "MonitorFixture.h"

#include "chart/AreaSeries.h"
#include "controls/TRadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

namespace {

double lastY(TChartSeries* s)
{
    return s->YValues().Value(s->PointCount() - 1);
}

} // namespace

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

TEST_F(SnapshotTest, FieldsReadByTheNumberRule)
{
    serve({});
    service.Set("/", "head\r\n198.18.0.1,$10,0x10, 5,-3<b>\r\n198.18.0.2,1 ,2x,9223372036854775808,+7\r\nend\r\n");
    PollOnce();
    // Send 16, receive 16; " 5" reads as 5, "-3" as -3; "1 " and "2x" are not numbers.
    EXPECT_EQ(lastY(chartOut().SeriesList().Item(0)), 16 * 0.008);
    EXPECT_EQ(lastY(chartIn().SeriesList().Item(0)), 16 * 0.008);
    EXPECT_EQ(cell(6, 1), "0.00 kB");
    EXPECT_EQ(cell(5, 1), "0.00 kB"); // -3 bytes rounds to zero and shows no sign
    EXPECT_EQ(lastY(chartOut().SeriesList().Item(1)), 0);
    EXPECT_EQ(cell(5, 2), "0.01 kB");
    EXPECT_EQ(cell(6, 2), "");
}

// Plain digits are read on a short path; numbers on either side of its limit must read as the
// full rule reads them.
TEST_F(SnapshotTest, LongNumbersAroundTheDigitLimit)
{
    serve({});
    service.Set("/",
        "head\r\n198.18.0.1,999999999999999999,0\r\n198.18.0.2,9223372036854775807,0\r\n"
        "198.18.0.3,00000000000000000012,0\r\n198.18.0.4,12\xb2,0\r\n198.18.0.5,99999999999999999999,0\r\n"
        "end\r\n");
    PollOnce();
    TChartSeriesList& out = chartOut().SeriesList();
    ASSERT_EQ(out.Count(), 5);
    EXPECT_EQ(lastY(out.Item(0)), double(999999999999999999) * 0.008);
    EXPECT_EQ(lastY(out.Item(1)), double(INT64_MAX) * 0.008);
    EXPECT_EQ(lastY(out.Item(2)), 12 * 0.008);
    EXPECT_EQ(lastY(out.Item(3)), 0);
    EXPECT_EQ(lastY(out.Item(4)), 0);
}

TEST_F(SnapshotTest, TwentyNineThirtyAndThirtyOneHosts)
{
    serve(Hosts(29));
    PollOnce();
    EXPECT_EQ(chartIn().SeriesList().Count(), 29);

    // The 30th host has no series of its own, so it is drawn as "Other".
    std::vector<Host> thirty = Hosts(30);
    serve(thirty);
    PollOnce();
    ASSERT_EQ(chartIn().SeriesList().Count(), 30);
    TChartSeries* other = chartIn().SeriesList().Item(29);
    EXPECT_EQ(other->Title(), "Other");
    EXPECT_EQ(other->Tag(), 0);
    EXPECT_DOUBLE_EQ(lastY(other), thirty[29].recv * 0.008);

    std::vector<Host> more = Hosts(31);
    serve(more);
    PollOnce();
    other = chartOut().SeriesList().Item(29);
    EXPECT_EQ(other->Title(), "Other");
    EXPECT_DOUBLE_EQ(lastY(other), (more[29].send + more[30].send) * 0.008);
    for (int i = 0; i < 29; ++i)
        EXPECT_EQ(chartIn().SeriesList().Item(i)->Title().toStdString(), more[size_t(i)].address) << i;
}

TEST_F(SnapshotTest, ActiveMachinesOptionHidesIdleHostsBeyondTheTop29)
{
    std::vector<Host> hosts = Hosts(35);
    hosts[5].send = hosts[5].recv = 0; // idle but in the top 29: keeps its row
    hosts[31].send = hosts[31].recv = 0; // idle beyond: no row
    serve(hosts);
    PollOnce();
    EXPECT_EQ(grid().RowCount(), 1 + 34);
    EXPECT_EQ(cell(2, 6), hosts[5].address);
    EXPECT_EQ(cell(2, 32), hosts[32].address);

    control<QCheckBox>("cbActiveIPs")->setChecked(false);
    PollOnce();
    EXPECT_EQ(grid().RowCount(), 36);
    EXPECT_EQ(cell(2, 32), hosts[31].address);
}

TEST_F(SnapshotTest, CurrentSpeedOrderSortsHostLinesOnly)
{
    std::vector<Host> hosts = { { "198.18.0.1", 10, 10 }, { "198.18.0.2", 500, 500 }, { "198.18.0.3", 1, 0 },
        { "198.18.0.4", 0, 0 }, { "198.18.0.5", 70, 0 } };
    // A closing line that looks like a busy host must never be read as one.
    service.Set("/",
        "head\r\n" + HostLine(hosts[0]) + "\r\n" + HostLine(hosts[1]) + "\r\n" + HostLine(hosts[2]) + "\r\n"
            + HostLine(hosts[3]) + "\r\n" + HostLine(hosts[4]) + "\r\n198.18.9.9,99999,99999,0,0\r\n");
    control<TRadioGroup>("RadioGroup1")->Button(1)->click();
    PollOnce();
    EXPECT_EQ(grid().RowCount(), 5); // four hosts with traffic
    EXPECT_EQ(cell(2, 1), "198.18.0.2");
    EXPECT_EQ(cell(2, 2), "198.18.0.5");
    EXPECT_EQ(cell(2, 3), "198.18.0.1");
    EXPECT_EQ(cell(2, 4), "198.18.0.3"); // the slowest host is still there
    EXPECT_EQ(chartIn().SeriesList().Count(), 5);
    EXPECT_EQ(chartIn().SeriesList().Item(4)->Title(), "198.18.0.4");
    EXPECT_EQ(label("ISLabel").left(9), "4.65 kb/s"); // 581 bytes/s, the closing line not counted
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

TEST_F(SnapshotTest, TotalsWrapAroundInsteadOfFailing)
{
    serve({ { "198.18.0.1", 0, 0, INT64_MAX, 0 }, { "198.18.0.2", 0, 0, 2, 0 } });
    PollOnce();
    EXPECT_EQ(label("ISLabel"), ", -9,007,199,254,740,992.00 kB");
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

TEST_F(SnapshotTest, ActiveMachinesRuleStartsAtTheThirtiethHost)
{
    std::vector<Host> hosts = Hosts(33);
    for (int i : { 28, 29, 30 }) // positions 29, 30 and 31 are idle
        hosts[size_t(i)].send = hosts[size_t(i)].recv = 0;
    serve(hosts);
    ASSERT_TRUE(control<QCheckBox>("cbActiveIPs")->isChecked());
    PollOnce();
    EXPECT_EQ(cell(2, 29), hosts[28].address); // the 29th host keeps its row although idle
    EXPECT_EQ(cell(2, 30), hosts[31].address); // the 30th and 31st have none
    EXPECT_EQ(cell(2, 31), hosts[32].address);
    EXPECT_EQ(grid().RowCount(), 1 + 31);
}
