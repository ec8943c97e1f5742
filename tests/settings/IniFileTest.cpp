#include "settings/IniFile.h"
#include "settings/SnifferSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override
    {
        char tmpl[] = "/tmp/qtm-ini-XXXXXX";
        int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        close(fd);
        path = tmpl;
    }
    void TearDown() override { std::remove(path.c_str()); }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    TIniFile ini() const { return TIniFile(path); }
};

} // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefault)
{
    TIniFile none("/nonexistent/dir/Sniffer.ini");
    EXPECT_EQ(none.ReadString("Settings", "SnifferService", "dflt"), "dflt");
    EXPECT_EQ(none.ReadInteger("Settings", "BoldCharCount", 11), 11);
    write("[Other]\nSnifferService=1.2.3.4\n");
    EXPECT_EQ(ini().ReadString("Settings", "SnifferService", "dflt"), "dflt");
    write("[Settings]\nIPSource=x\n");
    EXPECT_EQ(ini().ReadString("Settings", "SnifferService", "dflt"), "dflt");
}

TEST_F(IniFileTest, SectionAndKeyIgnoreCaseAndFirstKeyWins)
{
    write("[other]\nsnifferservice=wrong\n[sETTINGS]\nSNIFFERservice = 127.0.0.1:8080 \nSnifferService=second\n");
    EXPECT_EQ(ini().ReadString("Settings", "SnifferService", ""), "127.0.0.1:8080");
}

TEST_F(IniFileTest, ValueAfterFirstEqualsTrimmedAndOneQuotePairRemoved)
{
    write("[Settings]\nA=x=y\nB=  \"quoted value\"  \nC='single'\nD=\"mismatched'\nE=\"\"inner\"\"\nF=\nG=\"\r\n");
    EXPECT_EQ(ini().ReadString("Settings", "A", ""), "x=y");
    EXPECT_EQ(ini().ReadString("Settings", "B", ""), "quoted value");
    EXPECT_EQ(ini().ReadString("Settings", "C", ""), "single");
    EXPECT_EQ(ini().ReadString("Settings", "D", ""), "\"mismatched'");
    EXPECT_EQ(ini().ReadString("Settings", "E", ""), "\"inner\"");
    EXPECT_EQ(ini().ReadString("Settings", "F", "dflt"), ""); // present but empty is not the default
    EXPECT_EQ(ini().ReadString("Settings", "G", ""), "\"");
}

TEST_F(IniFileTest, ValueCutAt2047Characters)
{
    write("[Settings]\nLong=" + std::string(3000, 'a') + "\n");
    EXPECT_EQ(ini().ReadString("Settings", "Long", "").size(), 2047u);
}

TEST_F(IniFileTest, LineLongerThanTheReadersBufferIsCutNotSkipped)
{
    write("[Settings]\nIPSource=" + std::string(200000, 'n') + "\nBoldCharCount=5\n");
    EXPECT_EQ(ini().ReadString("Settings", "IPSource", "dflt"), std::string(2047, 'n'));
    EXPECT_EQ(ini().ReadInteger("Settings", "BoldCharCount", 11), 5); // the rest of the long line is no setting
}

TEST_F(IniFileTest, CutNeverSplitsAUtf8Character)
{
    write("[Settings]\nIPSource=" + std::string(2046, 'a') + "\xC3\xBC\xC3\xBC\n");
    EXPECT_EQ(ini().ReadString("Settings", "IPSource", ""), std::string(2046, 'a') + "\xC3\xBC");
}

// The same settings saved by editors of different systems.
TEST_F(IniFileTest, ByteOrderMarkAndEveryLineEndReadAsTheSameFile)
{
    const char* variants[] = {
        "[Settings]\nSnifferService=127.0.0.1:8080\nBoldCharCount=7\n",
        "\xEF\xBB\xBF[Settings]\nSnifferService=127.0.0.1:8080\nBoldCharCount=7\n",
        "[Settings]\r\nSnifferService=127.0.0.1:8080\r\nBoldCharCount=7\r\n",
        "\xEF\xBB\xBF[Settings]\r\nSnifferService=127.0.0.1:8080\r\nBoldCharCount=7\r\n",
        "[Settings]\rSnifferService=127.0.0.1:8080\rBoldCharCount=7\r",
        "\xEF\xBB\xBF[Settings]\rSnifferService=127.0.0.1:8080\rBoldCharCount=7",
        "[Settings]\r\rSnifferService=127.0.0.1:8080\n\r\nBoldCharCount=7",
    };
    for (const char* text : variants) {
        write(text);
        EXPECT_EQ(ini().ReadString("Settings", "SnifferService", SnifferSettings::DefaultService), "127.0.0.1:8080")
            << text;
        EXPECT_EQ(ini().ReadInteger("Settings", "BoldCharCount", 11), 7) << text;
    }
    // A mark is only a mark at the very start; elsewhere its bytes belong to the text.
    write("[Settings]\nA=\xEF\xBB\xBFx\n");
    EXPECT_EQ(ini().ReadString("Settings", "A", ""), "\xEF\xBB\xBFx");
    write("\xEF\xBB");
    EXPECT_EQ(ini().ReadString("Settings", "A", "dflt"), "dflt");
}

TEST_F(IniFileTest, IntegerRuleWithDefaults)
{
    write("[Settings]\nHex=0x10\nDollar=$10\nJunk=12abc\nEmpty=\nBig=2147483648\nMin=-2147483648\n"
          "AllOnes=$FFFFFFFF\nQuoted=\"42\"\nSpaced=  7  \n");
    EXPECT_EQ(ini().ReadInteger("Settings", "Hex", 11), 16);
    EXPECT_EQ(ini().ReadInteger("Settings", "Dollar", 11), 16);
    EXPECT_EQ(ini().ReadInteger("Settings", "Junk", 11), 11);
    EXPECT_EQ(ini().ReadInteger("Settings", "Empty", 11), 11);
    EXPECT_EQ(ini().ReadInteger("Settings", "Big", 10000000), 10000000);
    EXPECT_EQ(ini().ReadInteger("Settings", "Min", 10000000), INT32_MIN);
    EXPECT_EQ(ini().ReadInteger("Settings", "AllOnes", 0), -1);
    EXPECT_EQ(ini().ReadInteger("Settings", "Quoted", 0), 42);
    EXPECT_EQ(ini().ReadInteger("Settings", "Spaced", 0), 7);
}

TEST_F(IniFileTest, ReadingNeverChangesTheFile)
{
    write("[Settings]\nBoldCharCount=5\n");
    struct stat before { };
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    sleep(0);
    (void)ini().ReadInteger("Settings", "BoldCharCount", 11);
    (void)ini().ReadString("Settings", "Missing", "");
    struct stat after { };
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_size, after.st_size);
}

TEST(SnifferSettings, FileLivesBesideTheExecutableNotTheCurrentDirectory)
{
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string exePath(exe, size_t(n));
    std::string expected = exePath.substr(0, exePath.rfind('/') + 1) + "Sniffer.ini";
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir("/tmp"), 0);
    EXPECT_EQ(SnifferSettings::SettingsFilePath(), expected);
    ASSERT_EQ(chdir(cwd), 0);
}
