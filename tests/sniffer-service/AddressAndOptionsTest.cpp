#include "ClientAccess.h"
#include "HostAddress.h"
#include "ServiceOptions.h"

#include <gtest/gtest.h>

TEST(HostAddress, ParsesDottedTextAndWritesItCanonically)
{
    auto a = HostAddress::parse("010.000.001.255");
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->isIPv4());
    EXPECT_EQ(a->text(), "10.0.1.255");
    EXPECT_EQ(a->ipv4(), 0x0A0001FFu);
    for (const char* bad :
        { "", "1.2.3", "1.2.3.4.5", "256.1.1.1", " 1.2.3.4", "1.2.3.4 ", "1..2.3", "1.2.3.0004", "a.b.c.d" })
        EXPECT_FALSE(HostAddress::parse(bad)) << bad;
    auto v6 = HostAddress::parse("2001:db8::1");
    ASSERT_TRUE(v6);
    EXPECT_FALSE(v6->isIPv4());
    EXPECT_EQ(v6->text(), "2001:db8::1");
}

TEST(Network, ContainsOnlyItsOwnAddresses)
{
    auto lan = Network::parse("10.1.2.77/24");
    ASSERT_TRUE(lan);
    EXPECT_EQ(lan->text(), "10.1.2.0/24");
    EXPECT_TRUE(lan->contains(*HostAddress::parse("10.1.2.0")));
    EXPECT_TRUE(lan->contains(*HostAddress::parse("10.1.2.255")));
    EXPECT_FALSE(lan->contains(*HostAddress::parse("10.1.3.1")));
    EXPECT_FALSE(lan->contains(*HostAddress::parse("::ffff:0a01:0301")));

    auto odd = Network::parse("192.168.0.0/23");
    EXPECT_TRUE(odd->contains(*HostAddress::parse("192.168.1.9")));
    EXPECT_FALSE(odd->contains(*HostAddress::parse("192.168.2.9")));
    EXPECT_TRUE(Network::parse("0.0.0.0/0")->contains(*HostAddress::parse("8.8.8.8")));
    EXPECT_FALSE(Network::parse("0.0.0.0/0")->contains(*HostAddress::parse("2001:db8::1")));

    auto single = Network::parse("127.0.0.2");
    EXPECT_TRUE(single->contains(*HostAddress::parse("127.0.0.2")));
    EXPECT_FALSE(single->contains(*HostAddress::parse("127.0.0.3")));

    for (const char* bad : { "10.0.0.0/33", "10.0.0.0/", "10.0.0.0/x", "/24", "10.0.0/24" })
        EXPECT_FALSE(Network::parse(bad)) << bad;
    EXPECT_TRUE(NetworkList::parse("10.0.0.0/8,192.168.1.0/24"));
    EXPECT_FALSE(NetworkList::parse("10.0.0.0/8,"));
    EXPECT_FALSE(NetworkList::parse(""));
}

namespace {

ServiceOptions parse(std::vector<std::string> args)
{
    return ParseServiceOptions(args);
}

std::string usageError(std::vector<std::string> args)
{
    try {
        ParseServiceOptions(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "accepted";
}

} // namespace

TEST(ServiceOptions, ReadsEachMode)
{
    auto demo = parse({ "--demo", "--hosts", "300", "--seed", "7", "--listen", "127.0.0.1:0" });
    EXPECT_EQ(demo.mode, ServiceOptions::Mode::Demo);
    EXPECT_EQ(demo.demoHosts, 300u);
    EXPECT_EQ(demo.seed, 7u);
    EXPECT_EQ(demo.listenPort, 0);

    auto plain = parse({ "--demo" });
    EXPECT_EQ(plain.demoHosts, 45u);
    EXPECT_EQ(plain.listenHost, "127.0.0.1");
    EXPECT_EQ(plain.listenPort, 8080);

    auto live = parse({ "--interface", "eth0", "--network", "10.0.0.0/8,192.168.1.0/24", "--resolve" });
    EXPECT_EQ(live.mode, ServiceOptions::Mode::Live);
    EXPECT_EQ(live.networks.networks().size(), 2u);
    EXPECT_TRUE(live.resolve);

    auto file = parse({ "--read", "x.pcap", "--network", "10.0.0.0/8", "--speed", "0" });
    EXPECT_EQ(file.mode, ServiceOptions::Mode::File);
    EXPECT_EQ(file.speed, 0.0);
}

TEST(ServiceOptions, RefusesWhatCannotRun)
{
    EXPECT_NE(usageError({}).find("exactly one"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--read", "x" }).find("exactly one"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--bogus" }).find("unknown option"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--hosts" }).find("needs a value"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--hosts", "12x" }).find("needs a number"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--hosts", "65537" }).find("at most 65536"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--hosts", "0" }).find("at least 1"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--seed", "99999999999999999999" }).find("at most"), std::string::npos);
    EXPECT_NE(usageError({ "--interface", "eth0" }).find("--network"), std::string::npos);
    EXPECT_NE(usageError({ "--interface", "eth0", "--network", "10.0.0.0/40" }).find("CIDR"), std::string::npos);
    EXPECT_NE(
        usageError({ "--read", "x", "--network", "10.0.0.0/8", "--speed", "-1" }).find("--speed"), std::string::npos);
    EXPECT_NE(
        usageError({ "--read", "x", "--network", "10.0.0.0/8", "--speed", "nan" }).find("--speed"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--speed", "2" }).find("belongs to --read"), std::string::npos);
    EXPECT_NE(usageError({ "--interface", "lo", "--network", "127.0.0.0/8", "--seed", "1" }).find("--demo"),
        std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--network", "10.0.0.0/8" }).find("belongs"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--listen", "8080" }).find("ADDR:PORT"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--listen", "127.0.0.1:65536" }).find("at most 65535"), std::string::npos);
    EXPECT_NE(usageError({ "--demo", "--listen", "example.org:80" }).find("numeric"), std::string::npos);
}

TEST(ClientAccess, LoopbackServesAllAndOtherAddressesOnlyTheAllowList)
{
    auto allow = [](const char* list) { return ParseServiceOptions({ "--demo", "--allow", list }).allow; };
    ClientAccess local("127.0.0.1", allow("192.0.2.0/24"));
    EXPECT_TRUE(local.allows("127.0.0.1"));
    EXPECT_TRUE(ClientAccess("::1", allow("192.0.2.0/24")).allows("::1"));

    ClientAccess byDefault("0.0.0.0", ParseServiceOptions({ "--demo" }).allow);
    EXPECT_TRUE(byDefault.allows("127.0.0.1"));
    EXPECT_TRUE(byDefault.allows("127.1.2.3"));
    EXPECT_TRUE(byDefault.allows("::1"));
    EXPECT_TRUE(byDefault.allows("::ffff:127.0.0.1"));
    EXPECT_FALSE(byDefault.allows("10.0.0.5"));
    EXPECT_FALSE(byDefault.allows("2001:db8::1"));
    EXPECT_FALSE(byDefault.allows(""));
    EXPECT_FALSE(byDefault.allows("not an address"));

    ClientAccess listed("10.0.0.1", allow("10.0.0.0/24,2001:db8::/32"));
    EXPECT_TRUE(listed.allows("10.0.0.200"));
    EXPECT_TRUE(listed.allows("::ffff:10.0.0.7")); // a v4 client on a dual-stack socket
    EXPECT_TRUE(listed.allows("2001:db8:5::9"));
    EXPECT_FALSE(listed.allows("10.0.1.1"));
    EXPECT_FALSE(listed.allows("127.0.0.1"));

    EXPECT_THROW(ParseServiceOptions({ "--demo", "--allow", "10.0.0.0/33" }), UsageError);
    EXPECT_THROW(ParseServiceOptions({ "--demo", "--allow", "" }), UsageError);
}
