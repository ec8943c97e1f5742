#include "NameDirectory.h"

#include "base/Exception.h"

#include <gtest/gtest.h>

namespace {

std::string nameOf(const NameDirectory& d, const char* address)
{
    auto names = d.copy();
    auto it = names.find(*HostAddress::parse(address));
    return it == names.end() ? "<none>" : it->second;
}

} // namespace

TEST(NameDirectory, NamesFileLinesAreCleanedOrSkipped)
{
    NameDirectory d;
    size_t added = d.loadNamesText("# office\r\n"
                                   "10.0.0.1=backup\r\n"
                                   "  10.0.0.2 =  pc anna  \n"
                                   "\n"
                                   "010.0.0.3=printer<br>\n"
                                   "10.0.0.4=a=b\n"
                                   "10.0.0.5=\n"
                                   "10.0.0.6 no equals sign\n"
                                   "10.0.0.999=bad address\n"
                                   "10.0.0.7=tab\there\n"
                                   "10.0.0.8=<b>\n");
    EXPECT_EQ(added, 5u);
    EXPECT_EQ(d.skippedLines(), 4u);
    EXPECT_EQ(nameOf(d, "10.0.0.1"), "backup");
    EXPECT_EQ(nameOf(d, "10.0.0.2"), "pc anna");
    EXPECT_EQ(nameOf(d, "10.0.0.3"), "printer");
    EXPECT_EQ(nameOf(d, "10.0.0.4"), "a");
    EXPECT_EQ(nameOf(d, "10.0.0.5"), "<none>");
    EXPECT_EQ(nameOf(d, "10.0.0.7"), "tabhere");
    EXPECT_EQ(nameOf(d, "10.0.0.8"), "<none>");
    EXPECT_EQ(NameDirectory::Clean(std::string(100, 'x')).size(), NameDirectory::MaxNameLength);
}

TEST(NameDirectory, HostsFileGivesOnlyLocalEntries)
{
    NameDirectory d;
    auto lan = *NetworkList::parse("192.168.1.0/24");
    d.loadHostsText("127.0.0.1 localhost\n"
                    "192.168.1.5   fileserver fs   # the NAS\n"
                    "192.168.1.6\n"
                    "# 192.168.1.7 commented\n"
                    "192.168.1.5 second-entry\n"
                    "10.0.0.1 elsewhere\n"
                    "::1 ip6-localhost\n",
        lan);
    EXPECT_EQ(d.copy().size(), 1u);
    EXPECT_EQ(nameOf(d, "192.168.1.5"), "fileserver");
}

TEST(NameDirectory, UnreadableNamesFileIsAnError)
{
    NameDirectory d;
    try {
        d.loadNamesFile("/nonexistent/names.txt");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/names.txt"), std::string::npos);
    }
    EXPECT_EQ(d.loadHostsFile("/nonexistent/hosts", *NetworkList::parse("10.0.0.0/8")), 0u);
}
