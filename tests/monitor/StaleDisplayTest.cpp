#include "MonitorFixture.h"

#include "base/DateTime.h"
#include "poll/ServiceStaleness.h"

#include <QLabel>

namespace {
// 9 December 2025; the outage in these tests begins at 14:02:31.
constexpr double Day = 46000;
constexpr double OutageStart = (14 * 3600 + 2 * 60 + 31) / 86400.0;

const char* const GoodCaption = "Quorvel Traffic Monitor - V1.0.3";
} // namespace

// A service that stops and comes back on the same port, polled tick by tick.
class StaleDisplayTest : public ::testing::Test {
protected:
    std::unique_ptr<FakeSnifferService> service = std::make_unique<FakeSnifferService>();
    int port = service->Port();
    std::unique_ptr<TempSettings> settings;
    std::unique_ptr<TSnifferMainForm> form;
    double seconds = 0;

    void SetUp() override
    {
        SetMessageBoxSinkForTesting([](const QString&, const QString&, const QString&) {});
        SetClockForTesting([this] { return Day + OutageStart + seconds / 86400.0; });
        settings = std::make_unique<TempSettings>("[Settings]\nSnifferService=" + service->Address() + "\n");
        form = std::make_unique<TSnifferMainForm>();
        form->resize(1008, 591);
        form->rgSpeedClick(form.get());
        serve();
    }
    void TearDown() override
    {
        form.reset();
        settings.reset();
        SetClockForTesting(nullptr);
        SetMessageBoxSinkForTesting(nullptr);
    }
    void serve() { service->Set("/", Snapshot(Hosts(3))); }
    void tick()
    {
        form->Timer1Timer(form.get());
        seconds += 1;
    }
    QString label(const char* name) { return form->findChild<QLabel*>(name)->text(); }
    std::string cell(int col, int row) { return form->findChild<TStringGrid*>("StringGrid1")->Cell(col, row); }
    double sampleIndex() { return FormProbe { *form }.SampleIndex(); }
};

TEST_F(StaleDisplayTest, AnUnansweredPollSaysSoAndTheNextGoodPollShowsTheWindowAsBefore)
{
    seconds = -1;
    tick();
    ASSERT_EQ(form->windowTitle(), GoodCaption);
    const QString recv = label("IRLabel"), send = label("ISLabel");
    const std::string rate = cell(3, 1), total = cell(5, 1), address = cell(2, 1);
    ASSERT_FALSE(rate.empty());

    service.reset(); // the service dies: connections refused from now on
    tick();
    tick(); // a second failure keeps the time the outage began
    EXPECT_EQ(form->windowTitle(), QString(GoodCaption) + " - no answer from the service since 14:02:31");
    EXPECT_EQ(label("IRLabel"), "no answer since 14:02:31");
    EXPECT_EQ(label("ISLabel"), "no answer since 14:02:31");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(cell(3, row), "") << row;
        EXPECT_EQ(cell(4, row), "") << row;
    }
    // What was counted up to the outage stays: the hosts and their totals.
    EXPECT_EQ(cell(2, 1), address);
    EXPECT_EQ(cell(5, 1), total);
    // The notice stays inside its strip, clear of the sort choice beside it.
    auto* sortBy = form->findChild<QWidget*>("RadioGroup1");
    EXPECT_LE(form->findChild<QLabel*>("IRLabel")->geometry().right(), sortBy->geometry().left());
    const double samples = sampleIndex();

    service = std::make_unique<FakeSnifferService>(port);
    serve();
    tick();
    EXPECT_EQ(form->windowTitle(), GoodCaption);
    EXPECT_EQ(label("IRLabel"), recv);
    EXPECT_EQ(label("ISLabel"), send);
    EXPECT_EQ(cell(3, 1), rate);
    EXPECT_EQ(sampleIndex(), samples + 1);
}

TEST_F(StaleDisplayTest, AnAnswerWithoutASnapshotAndAFailedReplayAtAGapAreNoAnswerEither)
{
    tick();
    service->Set("/", "");
    tick();
    EXPECT_EQ(label("IRLabel"), "no answer since 14:02:32");
    serve();
    tick();
    EXPECT_EQ(form->windowTitle(), GoodCaption);
    seconds += 10; // a gap: the tick replays the history, which the service does not have
    tick();
    EXPECT_EQ(form->windowTitle(), QString(GoodCaption) + " - no answer from the service since 14:02:44");
    service->Set("/history", Snapshot(Hosts(2)) + "###\r\n");
    seconds += 10;
    tick();
    EXPECT_EQ(form->windowTitle(), GoodCaption);
}

TEST(ServiceStalenessTest, TheNoticeNamesTheDayOnceTheOutageIsFromAnotherDay)
{
    TServiceStaleness staleness;
    EXPECT_FALSE(staleness.Stale());
    staleness.Unanswered(Day + OutageStart);
    staleness.Unanswered(Day + OutageStart + 0.25);
    EXPECT_TRUE(staleness.Stale());
    EXPECT_EQ(staleness.Notice(Day + 0.9), "no answer from the service since 14:02:31");
    EXPECT_EQ(staleness.ShortNotice(Day + 1.1), "no answer since 2025-12-09 14:02:31");
    staleness.Answered();
    EXPECT_FALSE(staleness.Stale());
    staleness.Unanswered(Day + 0.5);
    EXPECT_EQ(staleness.Notice(Day + 0.5), "no answer from the service since 12:00:00");
}
