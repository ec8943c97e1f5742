#include "service/ServiceAccess.h"
#include "base/StringList.h"
#include "net/NetHTTP.h"
#include "service/FetchLimits.h"
#include "service/FetchPace.h"
#include "service/LineSplitting.h"
#include "service/ResourceLocation.h"
#include "support/FakeSnifferService.h"
#include "support/ScriptedServer.h"
#include "support/SlowAnswers.h"
#include "support/TempSettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <sys/stat.h>

using namespace qtm_test;
using namespace std::chrono_literals;

namespace {

using V = std::vector<std::string>;

V split(std::string_view text)
{
    TStringList list;
    list.Add("stale");
    ReplaceLines(text, list);
    V out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

V splitInPieces(std::string_view text, const std::vector<size_t>& cuts)
{
    V out;
    TLineSplitter splitter([&](std::string_view line) { out.emplace_back(line); });
    size_t from = 0;
    for (size_t cut : cuts) {
        splitter.Feed(text.substr(from, cut - from));
        from = cut;
    }
    splitter.Feed(text.substr(from));
    splitter.Finish();
    return out;
}

V lines(const TStringList& list)
{
    V out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

template <typename F> long timedMs(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

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

TEST(LineSplitter, AnyCutGivesTheLinesOfTheWholeText)
{
    for (std::string_view text : { "a\r\nb", "a\n\nb", "a\rb\r\n", "a\n\rb", "a\r\rb", "a\n", "", "\n", "\r\n\r\n",
             "line one\r\nline two\rthree\n\nfour" }) {
        V whole = split(text);
        for (size_t cut = 0; cut <= text.size(); ++cut)
            EXPECT_EQ(splitInPieces(text, { cut }), whole) << "cut at " << cut << " of " << text;
        std::vector<size_t> everyByte;
        for (size_t i = 1; i < text.size(); ++i)
            everyByte.push_back(i);
        EXPECT_EQ(splitInPieces(text, everyByte), whole) << text;
    }
    const std::string withNul("ab\r\ncd\0ef\r\ngh", 13);
    for (size_t cut = 0; cut <= withNul.size(); ++cut)
        EXPECT_EQ(splitInPieces(withNul, { cut }), V({ "ab", "cd" })) << cut;
}

// Lines are written over those a list already holds, and breaks are found a word at a time:
// every text of breaks, other control bytes and letters, split over lists of every earlier
// content, gives the lines of a byte-by-byte reading, each with a cleared tag.
TEST(LineSplitting, ListsWrittenOverGiveTheLinesOfAPlainReadingWhateverTheyHeld)
{
    std::mt19937 rng(11);
    const std::string alphabet("ab\t\x0b\x0c\x0e\x01\r\n\x1fZ", 11);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const size_t length = rng() % 48;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[rng() % (rng() % 2 == 0 ? alphabet.size() : 2)];
        V plain;
        for (size_t pos = 0; pos < text.size();) {
            size_t end = pos;
            while (end < text.size() && text[end] != '\r' && text[end] != '\n')
                ++end;
            plain.push_back(text.substr(pos, end - pos));
            pos = end;
            if (pos < text.size() && text[pos] == '\r')
                ++pos;
            if (pos < text.size() && text[pos] == '\n')
                ++pos;
        }
        TStringList list;
        for (int i = int(rng() % 12); i > 0; --i) {
            list.Add(std::string(rng() % 30, 'x'));
            list.SetTag(list.Count() - 1, int64_t(rng() % 5) + 1);
        }
        ReplaceLines(text, list);
        ASSERT_EQ(lines(list), plain) << round;
        for (int i = 0; i < list.Count(); ++i)
            ASSERT_EQ(list.Tag(i), 0) << round;
        ASSERT_EQ(splitInPieces(text, { size_t(rng() % (text.size() + 1)) }), plain) << round;
    }
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

// The access on its own against a loopback service of the test's, with no window.
class ServiceAccessTest : public ::testing::Test {
protected:
    FakeSnifferService service;
    TServiceAccess access;
    std::vector<bool> verdicts;

    void SetUp() override
    {
        access.OnKeepAlive([this](bool keptAlive) { verdicts.push_back(keptAlive); });
    }
    std::string at(const std::string& path) { return "http://" + service.Address() + path; }
};

TEST_F(ServiceAccessTest, FileLocationsAreReadEvenWhenTheirPathSaysHttp)
{
    const std::string dir = "/tmp/qtm-httpd-test";
    mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/names.txt";
    std::ofstream(path) << "198.18.0.1=alpha\r\n198.18.0.2=beta";
    TStringList target;
    access.FetchLines(path, target);
    EXPECT_EQ(lines(target), V({ "198.18.0.1=alpha", "198.18.0.2=beta" }));
    std::remove(path.c_str());
    access.FetchLines(path, target);
    EXPECT_EQ(target.Count(), 0); // a file that cannot be read leaves the target empty
    rmdir(dir.c_str());
    EXPECT_TRUE(verdicts.empty());
    EXPECT_EQ(access.HttpClient(), nullptr);
}

TEST_F(ServiceAccessTest, OneClientServesEveryFetchAndEachSuccessReportsItsKeepAlive)
{
    service.Set("/ip", "198.18.0.1=alpha\n198.18.0.2=beta\n");
    TStringList target;
    access.FetchLines("HTTP://" + service.Address() + "/ip", target);
    EXPECT_EQ(lines(target), V({ "198.18.0.1=alpha", "198.18.0.2=beta" }));
    EXPECT_EQ(verdicts, std::vector<bool>({ true }));
    TNetHTTP* client = access.HttpClient();
    ASSERT_NE(client, nullptr);

    service.Set("/empty", "");
    access.FetchLines(at("/empty"), target);
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(access.HttpClient(), client);
    EXPECT_EQ(verdicts.size(), 2u);
}

TEST_F(ServiceAccessTest, AFailedFetchLeavesTheTargetReportsNothingAndDropsTheClient)
{
    service.Set("/ip", "198.18.0.1=alpha\n");
    TStringList target;
    EXPECT_TRUE(access.FetchLines(at("/ip"), target));
    ASSERT_EQ(target.Count(), 1);
    verdicts.clear();
    EXPECT_FALSE(access.FetchLines(at("/missing"), target)); // 404
    EXPECT_EQ(lines(target), V({ "198.18.0.1=alpha" }));
    EXPECT_EQ(access.HttpClient(), nullptr);
    EXPECT_TRUE(verdicts.empty());

    access.FetchLines("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/ip", target);
    EXPECT_EQ(target.Count(), 1);
    EXPECT_EQ(access.HttpClient(), nullptr);
    access.FetchLines(at("/ip"), target); // a fresh client succeeds again
    EXPECT_NE(access.HttpClient(), nullptr);
}

TEST_F(ServiceAccessTest, AStreamedFetchHandsOverLinesUntilTheReaderStops)
{
    service.Set("/history", "one\r\ntwo\r\nthree\r\nfour\r\n");
    V seen;
    access.FetchLineStream(at("/history"), [&](std::string_view line) {
        seen.emplace_back(line);
        return true;
    });
    EXPECT_EQ(seen, V({ "one", "two", "three", "four" }));
    EXPECT_NE(access.HttpClient(), nullptr);

    seen.clear();
    access.FetchLineStream(at("/history"), [&](std::string_view line) {
        seen.emplace_back(line);
        return seen.size() < 2;
    });
    EXPECT_EQ(seen, V({ "one", "two" }));
    EXPECT_EQ(access.HttpClient(), nullptr); // the half-read reply is never reused

    // What the reader raises is its caller's to handle.
    EXPECT_THROW(access.FetchLineStream(at("/history"), [](std::string_view) -> bool { throw std::logic_error("x"); }),
        std::logic_error);
}

TEST_F(ServiceAccessTest, ABodyOverItsCapIsAFailedFetch)
{
    const TFetchLimits saved = FetchLimits();
    FetchLimits().MaxBodyBytes = 1024;
    service.Set("/", std::string(4096, 'x'));
    TStringList target;
    target.Add("before");
    access.FetchLines(at("/"), target);
    EXPECT_EQ(lines(target), V({ "before" }));
    EXPECT_EQ(access.HttpClient(), nullptr);
    // A streamed history has its own, larger cap.
    V seen;
    access.FetchLineStream(at("/"), [&](std::string_view line) {
        seen.emplace_back(line);
        return true;
    });
    EXPECT_EQ(seen.size(), 1u);
    FetchLimits() = saved;
}

// Each fetch is bounded at 2 s as a whole; the margin covers a loaded machine, not another wait.
constexpr long FetchBoundMs = 2500;

TEST(SlowServiceAccess, EveryFetchEndsWithinItsBoundWhetherTheServiceTricklesOrStaysSilent)
{
    for (const TScript& answer : { TricklingAnswer(), Silence() }) {
        TScriptedServer server;
        server.SetRepeatingScript(answer);
        const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
        TServiceAccess access;
        TStringList target;
        EXPECT_LT(timedMs([&] { access.FetchLines(base + "/", target); }), FetchBoundMs);
        EXPECT_EQ(target.Count(), 0);
        int seen = 0;
        EXPECT_LT(
            timedMs([&] { access.FetchLineStream(base + "/history", [&](std::string_view) { return ++seen > 0; }); }),
            FetchBoundMs);
        EXPECT_EQ(seen, 0);
        // The fetch that held the window that long makes the next unasked one wait.
        EXPECT_GT(access.Pace().WaitBefore(TFetchPace::Clock::now()), TFetchPace::Clock::duration::zero());
        EXPECT_GE(server.AcceptedCount(), 2);
    }
}

TEST(FetchPaceTest, OnlyASlowFetchMakesTheNextUnaskedFetchWait)
{
    using Clock = TFetchPace::Clock;
    TFetchPace pace(1000ms, 250ms);
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(pace.WaitBefore(t0), Clock::duration::zero());
    pace.FetchTook(t0, t0 + 999ms);
    EXPECT_EQ(pace.WaitBefore(t0 + 999ms), Clock::duration::zero());
    pace.FetchTook(t0 + 1s, t0 + 3s);
    EXPECT_EQ(pace.WaitBefore(t0 + 3s), 250ms);
    EXPECT_EQ(pace.WaitBefore(t0 + 3s + 100ms), 150ms);
    EXPECT_EQ(pace.WaitBefore(t0 + 3s + 250ms), Clock::duration::zero());
    // A fast fetch after a slow one does not cut the window's moment short.
    pace.FetchTook(t0 + 4s, t0 + 6s);
    pace.FetchTook(t0 + 6s, t0 + 6s + 1ms);
    EXPECT_EQ(pace.WaitBefore(t0 + 6s + 1ms), 249ms);
}
