#include "MonitorFixture.h"

#include "controls/TRadioGroup.h"

#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace {

std::string twoBlockHistory()
{
    return Snapshot(Hosts(2)) + "###\r\n" + Snapshot(Hosts(3)) + "###\r\n";
}

} // namespace

class StartSequenceTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        service.Set("/history", twoBlockHistory());
        service.Set("/ip", "198.18.0.1=alpha\r\n198.18.0.2=beta\r\n");
        service.Set("/", Snapshot(Hosts(3)));
    }
};

TEST_F(StartSequenceTest, HistoryThenNamesThenTheFirstLivePollWhichAlreadyShowsNames)
{
    Start();
    EXPECT_EQ(service.Requests(), std::vector<std::string>({ "/history", "/ip", "/" }));
    EXPECT_EQ(probe().SampleIndex(), 2 + 1);
    EXPECT_EQ(cell(1, 1), "alpha");
    EXPECT_EQ(cell(1, 2), "beta");
    EXPECT_EQ(cell(1, 3), "");
}

TEST_F(StartSequenceTest, ASwitchOfTheSpeedUnitReplaysTheHistoryOnAFreshConnection)
{
    Start();
    probe().Timer1()->stop();
    const std::vector<int> before = service.RequestConnections();
    ASSERT_FALSE(before.empty());
    const int lastConnection = *std::max_element(before.begin(), before.end());
    const double samples = probe().SampleIndex();

    control<TRadioGroup>("rgSpeed")->Button(1)->click();
    const std::vector<std::string> requests = service.Requests();
    const std::vector<int> connections = service.RequestConnections();
    ASSERT_EQ(requests.size(), before.size() + 1);
    EXPECT_EQ(requests.back(), "/history");
    EXPECT_GT(connections.back(), lastConnection); // not the kept-alive connection of the polls
    EXPECT_EQ(probe().SampleIndex(), samples + 2);
    EXPECT_DOUBLE_EQ(probe().SpeedScale(), 1.0 / 1000);
}
