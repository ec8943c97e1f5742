// Prints how long the monitor takes per poll, repaint, history replay and name load against a
// loopback service, and with --soak SECONDS its resident memory while it polls once a second.
#include "FormProbe.h"

#include "base/StringList.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "graph/chart/TChart.h"
#include "service/LineSplitting.h"
#include "support/FakeSnifferService.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double timeOnce(const std::function<void()>& f)
{
    const auto start = Clock::now();
    f();
    return msSince(start);
}

// Addresses in 198.18.0.0/15, a range set aside for benchmarks; here they are only text.
std::string address(int i)
{
    return "198." + std::to_string(18 + i / 65536) + "." + std::to_string(i / 256 % 256) + "."
        + std::to_string(i % 256);
}

// A snapshot as the service sends it. About a third of the hosts are idle, the rest have rates
// of every size, and the totals run into gigabytes, so every column gets realistic texts.
std::string snapshotText(int hosts, std::mt19937& rng)
{
    std::uniform_int_distribution<int64_t> rate(0, 20000000), total(0, int64_t(1) << 40);
    std::string s = "Quorvel sniffer, " + std::to_string(hosts) + " hosts\r\n";
    s.reserve(size_t(hosts) * 56);
    for (int i = 0; i < hosts; ++i) {
        const bool idle = rng() % 3 == 0;
        const int64_t send = idle ? 0 : rate(rng) >> (rng() % 20), recv = idle ? 0 : rate(rng) >> (rng() % 20);
        s += address(i) + "," + std::to_string(send) + "," + std::to_string(recv) + "," + std::to_string(total(rng))
            + "," + std::to_string(total(rng)) + "\r\n";
    }
    return s + "end\r\n";
}

std::string nameListText(int hosts)
{
    std::string s;
    for (int i = hosts - 1; i >= 0; --i)
        s += address(i) + (i % 3 ? "=" : " = ") + "host-" + std::to_string(i) + (i % 5 ? "\r\n" : "<br>\r\n");
    return s;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

struct Bench {
    FakeSnifferService service;
    std::unique_ptr<TempSettings> settings;
    std::unique_ptr<TSnifferMainForm> form;
    std::mt19937 rng { 7 };

    Bench(int nameCount)
    {
        service.Set("/ip", nameListText(nameCount));
        service.Set("/history", "");
        settings = std::make_unique<TempSettings>("[Settings]\nSnifferService=" + service.Address() + "\n");
        form = std::make_unique<TSnifferMainForm>();
        form->resize(1008, 591);
    }
    FormProbe probe() { return FormProbe { *form }; }
    template <typename T> T* control(const char* name) { return form->findChild<T*>(name); }

    // The window as the user sees it, with the timers held so that only the benchmark polls.
    void Show()
    {
        form->show();
        probe().Timer1()->stop();
        probe().HostsTimer()->stop();
        QApplication::processEvents();
    }
    void ServeSnapshot(const std::string& text)
    {
        service.Set("/", text);
        service.Set("/average/1", text);
    }
    void SortBySpeed(bool on)
    {
        control<TRadioGroup>("RadioGroup1")->SetItemIndex(on ? 1 : 0);
        control<QCheckBox>("cbActiveIPs")->setChecked(true);
    }
};

void benchLive(Bench& b, int hosts, bool bySpeed)
{
    b.SortBySpeed(bySpeed);
    const std::string text = snapshotText(hosts, b.rng);
    b.ServeSnapshot(text);
    const std::string location = "http://" + b.service.Address() + "/";
    FormProbe p = b.probe();
    TStringList prepared;
    ReplaceLines(text, prepared);

    std::vector<double> whole, fetch, history, table, charts;
    const int rounds = hosts >= 65536 ? 9 : 21;
    for (int r = 0; r < rounds + 2; ++r) {
        TStringList fetched;
        const double f = timeOnce([&] { p.FetchLines(location, fetched); });
        const double w = timeOnce([&] { p.ProcessSnapshot(nullptr); });
        const double h = timeOnce([&] { p.ProcessSnapshot(&prepared); });
        // The history pass cut the table to its header; a live pass puts the rows back before painting.
        p.ProcessSnapshot(nullptr);
        const double t = timeOnce([&] { b.control<TStringGrid>("StringGrid1")->repaint(); });
        const double c = timeOnce([&] {
            b.control<TChart>("ChartIn")->repaint();
            b.control<TChart>("ChartOut")->repaint();
        });
        if (r < 2)
            continue; // the first passes create the series and warm the connection
        whole.push_back(w);
        fetch.push_back(f);
        history.push_back(h);
        table.push_back(t);
        charts.push_back(c);
    }
    const double target = hosts >= 65536 ? 40 : hosts >= 10000 ? 5 : 0;
    const double processed = median(whole) - median(fetch);
    std::printf("live snapshot, %5d hosts, %s: %7.2f ms with fetch, fetch %6.2f ms, processed %6.2f ms%s%s"
                "; history-mode pass %6.2f ms\n",
        hosts, bySpeed ? "current speed   " : "data transferred", median(whole), median(fetch), processed,
        target > 0 ? (processed < target ? "  (target < " : "  (MISSED target < ") : "",
        target > 0 ? (std::to_string(int(target)) + " ms)").c_str() : "", median(history));
    std::printf("  repaint after it: table %6.2f ms, both charts %6.2f ms, together %6.2f ms\n", median(table),
        median(charts), median(table) + median(charts));
}

void benchHistory(Bench& b, bool bySpeed)
{
    b.SortBySpeed(bySpeed);
    const int blocks = 100, hosts = 1000;
    std::string history;
    std::vector<TStringList> prepared(blocks);
    for (int i = 0; i < blocks; ++i) {
        const std::string block = snapshotText(hosts, b.rng);
        history += block + "###\r\n";
        ReplaceLines(block, prepared[i]);
    }
    b.service.Set("/history", history);
    FormProbe p = b.probe();
    QPushButton* clear = b.control<QPushButton>("ClearBtn");

    std::vector<double> load, replay;
    for (int r = 0; r < 7; ++r) {
        clear->click();
        load.push_back(timeOnce([&] { p.LoadHistory(); }));
        clear->click();
        replay.push_back(timeOnce([&] {
            for (const TStringList& block : prepared)
                p.ProcessSnapshot(&block);
        }));
    }
    b.service.Set("/history", "");
    const double r = median(replay);
    std::printf(
        "history replay, %d blocks of %d hosts, %s: LoadHistory %7.2f ms, blocks alone %7.2f ms  (%starget < 150 ms)\n",
        blocks, hosts, bySpeed ? "current speed   " : "data transferred", median(load), r, r < 150 ? "" : "MISSED ");
}

void benchHostNames(Bench& b)
{
    std::vector<double> load;
    for (int r = 0; r < 9; ++r)
        load.push_back(timeOnce([&] { b.probe().LoadHostNames(); }));
    const double m = median(load);
    std::printf("LoadHostNames, 65536 names from the loopback service: %6.2f ms  (%starget < 50 ms)\n", m,
        m < 50 ? "" : "MISSED ");
}

int soak(Bench& b, int seconds)
{
    const int hosts = 1000;
    b.ServeSnapshot(snapshotText(hosts, b.rng));
    b.form->show(); // the real poll: Timer1 once a second, names every 30 s
    FormProbe p = b.probe();
    const auto start = Clock::now();
    std::printf("soak: polling %d hosts once a second for %d s; resident memory at start %ld KiB\n", hosts, seconds,
        residentKiB());
    std::fflush(stdout);

    // The service's figures change every second, as a real one's do.
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        b.ServeSnapshot(snapshotText(hosts, b.rng));
        b.service.ClearRequests();
    });
    feed.start(1000);
    long peak = 0;
    int reported = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const int elapsed = int(msSince(start) / 1000 + 0.5);
        const long rss = residentKiB();
        peak = std::max(peak, rss);
        if (elapsed >= (reported + 1) * 30 || elapsed >= seconds) {
            reported = elapsed / 30;
            std::printf(
                "  %4d s: VmRSS %ld KiB (%.1f MB), %d polls\n", elapsed, rss, rss / 1024.0, int(p.SampleIndex()));
            std::fflush(stdout);
        }
        if (elapsed >= seconds)
            QApplication::quit();
    });
    report.start(1000);
    QApplication::exec();
    const long rss = residentKiB();
    std::printf("soak end after %d s: VmRSS %ld KiB (%.1f MB), peak seen %.1f MB  (target: steady, < 100 MB)\n",
        int(msSince(start) / 1000), rss, rss / 1024.0, peak / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int soakSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--soak") == 0 && i + 1 < argc) {
            soakSeconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--soak SECONDS]\n", argv[0]);
            return 2;
        }
    }
    QApplication app(argc, argv);
    if (soakSeconds > 0) {
        Bench b(1000);
        return soak(b, soakSeconds);
    }

    Bench b(65536);
    b.Show();
    benchHostNames(b);
    for (int hosts : { 1000, 10000, 65536 })
        for (bool bySpeed : { false, true })
            benchLive(b, hosts, bySpeed);
    for (bool bySpeed : { false, true })
        benchHistory(b, bySpeed);
    return 0;
}
