#include "MonitorFixture.h"

#include <QLabel>

TEST_F(MonitorTest, TheKeepAliveLabelShowsTheVerdictOfTheLastGoodFetch)
{
    service.Set("/ip", "198.18.0.1=alpha\n");
    TStringList target;
    probe().FetchLines("http://" + service.Address() + "/ip", target);
    ASSERT_EQ(target.Count(), 1);
    EXPECT_EQ(control<QLabel>("lblKeepAlive")->text(), "KeepAlive ON");
    control<QLabel>("lblKeepAlive")->setText("unchanged");
    probe().FetchLines("http://" + service.Address() + "/missing", target); // 404
    EXPECT_EQ(control<QLabel>("lblKeepAlive")->text(), "unchanged");
    EXPECT_EQ(target.Count(), 1);
}
