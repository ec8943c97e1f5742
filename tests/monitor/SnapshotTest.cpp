#include "MonitorFixture.h"

#include "chart/AreaSeries.h"
#include "controls/TRadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

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
