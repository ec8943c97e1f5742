#include "MonitorFixture.h"

#include "base/StripMarkup.h"
#include "service/LineSplitting.h"
#include "service/ResourceLocation.h"

#include <QLabel>

#include <fstream>
#include <sys/stat.h>

namespace {

std::vector<std::string> split(std::string_view text)
{
    TStringList list;
    list.Add("stale");
    ReplaceLines(text, list);
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

using V = std::vector<std::string>;

} // namespace

TEST(LineSplitting, EveryLineBreakFormAndTheNulByte)
{
    EXPECT_EQ(split("a\r\nb"), V({ "a", "b" }));
    EXPECT_EQ(split("a\n\nb"), V({ "a", "", "b" }));
    EXPECT_EQ(split("a\rb\r\n"), V({ "a", "b" }));
    EXPECT_EQ(split(std::string_view("a\0b", 3)), V({ "a" }));
    EXPECT_EQ(split("a\n\rb"), V({ "a", "", "b" }));
    EXPECT_EQ(split("a\r\rb"), V({ "a", "", "b" }));
    EXPECT_EQ(split("a\n"), V({ "a" }));
    EXPECT_EQ(split(""), V({}));
    EXPECT_EQ(split("\n"), V({ "" }));
}

TEST(StripMarkupTest, CutsAtTheFirstTagOnly)
{
    EXPECT_EQ(StripMarkup("198.18.0.1,1,2,3,4<br>"), "198.18.0.1,1,2,3,4");
    EXPECT_EQ(StripMarkup("<p>198.18.0.1"), "");
    EXPECT_EQ(StripMarkup("  plain text  "), "  plain text  ");
}

TEST(ResourceLocationTest, OnlyAnHttpSchemeAtTheStartMeansHttp)
{
    EXPECT_TRUE(IsHttpLocation("http://127.0.0.1/ip"));
    EXPECT_TRUE(IsHttpLocation("HtTp://127.0.0.1/ip"));
    EXPECT_TRUE(IsHttpLocation("HTTPS://127.0.0.1/ip"));
    EXPECT_TRUE(IsHttpsLocation("hTTps://127.0.0.1/ip"));
    EXPECT_FALSE(IsHttpsLocation("http://127.0.0.1/ip"));
    EXPECT_FALSE(IsHttpLocation("/srv/httpd/names.txt"));
    EXPECT_FALSE(IsHttpLocation("names-HTTP.txt"));
    EXPECT_FALSE(IsHttpLocation(""));
}

TEST_F(MonitorTest, FileLocationsAreReadEvenWhenTheirPathSaysHttp)
{
    const std::string dir = "/tmp/qtm-httpd-test";
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/names.txt";
    std::ofstream(path) << "198.18.0.1=alpha\r\n198.18.0.2=beta";
    TStringList target;
    probe().FetchLines(path, target);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target[1], "198.18.0.2=beta");
    std::remove(path.c_str());
    probe().FetchLines(path, target);
    EXPECT_EQ(target.Count(), 0); // a file that cannot be read leaves the target empty
    rmdir(dir.c_str());
}

TEST_F(MonitorTest, HttpFetchFillsTheTargetAndShowsTheKeepAliveVerdict)
{
    service.Set("/ip", "198.18.0.1=alpha\n198.18.0.2=beta\n");
    TStringList target;
    probe().FetchLines("HTTP://" + service.Address() + "/ip", target);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target[0], "198.18.0.1=alpha");
    EXPECT_EQ(control<QLabel>("lblKeepAlive")->text(), "KeepAlive ON");
    TNetHTTP* client = probe().HttpClient();
    ASSERT_NE(client, nullptr);

    service.Set("/empty", "");
    probe().FetchLines("http://" + service.Address() + "/empty", target);
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(probe().HttpClient(), client); // the same client serves every fetch
}

TEST_F(MonitorTest, FailedHttpFetchLeavesTheTargetAndDiscardsTheClient)
{
    service.Set("/ip", "198.18.0.1=alpha\n");
    TStringList target;
    probe().FetchLines("http://" + service.Address() + "/ip", target);
    ASSERT_EQ(target.Count(), 1);
    control<QLabel>("lblKeepAlive")->setText("unchanged");
    probe().FetchLines("http://" + service.Address() + "/missing", target); // 404
    EXPECT_EQ(target.Count(), 1);
    EXPECT_EQ(target[0], "198.18.0.1=alpha");
    EXPECT_EQ(probe().HttpClient(), nullptr);
    EXPECT_EQ(control<QLabel>("lblKeepAlive")->text(), "unchanged");

    probe().FetchLines("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/ip", target);
    EXPECT_EQ(target.Count(), 1);
    EXPECT_EQ(probe().HttpClient(), nullptr);
    probe().FetchLines("http://" + service.Address() + "/ip", target); // a fresh client succeeds again
    EXPECT_NE(probe().HttpClient(), nullptr);
}
