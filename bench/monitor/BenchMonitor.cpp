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
#include "table/QuickList.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include "support/BenchClock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using BenchClock::Clock;
using BenchClock::msSince;

double threadCpuMs()
{
    return BenchClock::cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

// Wall-clock and this thread's CPU time of repeated runs. The CPU time is the steadier figure when
// other work shares the machine; the wall time is what the user waits.
struct Timings {
    std::vector<double> wall, cpu;

    void Add(const std::function<void()>& f)
    {
        const double c0 = threadCpuMs();
        const auto start = Clock::now();
        f();
        wall.push_back(msSince(start));
        cpu.push_back(threadCpuMs() - c0);
    }
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double Wall() const { return median(wall); }
    double Cpu() const { return median(cpu); }
    void DropFirst(size_t n)
    {
        wall.erase(wall.begin(), wall.begin() + long(std::min(n, wall.size())));
        cpu.erase(cpu.begin(), cpu.begin() + long(std::min(n, cpu.size())));
    }
};

std::string verdict(double ms, double target)
{
    char text[64];
    std::snprintf(text, sizeof text, "  (%starget < %g ms)", ms < target ? "" : "MISSED ", target);
    return text;
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
    TStringGrid* grid = b.control<TStringGrid>("StringGrid1");
    TChart* chartIn = b.control<TChart>("ChartIn");
    TChart* chartOut = b.control<TChart>("ChartOut");

    Timings whole, fetch, history, table, charts;
    const int rounds = hosts >= 65536 ? 9 : 21;
    for (int r = 0; r < rounds + 2; ++r) {
        TStringList fetched;
        // A live pass always fetches; the same fetch alone, over the same kept-alive connection, is
        // timed next to it and taken off.
        fetch.Add([&] { p.FetchLines(location, fetched); });
        whole.Add([&] { p.ProcessSnapshot(nullptr); });
        history.Add([&] { p.ProcessSnapshot(&prepared); });
        // The history pass cut the table to its header; a live pass puts the rows back before painting.
        p.ProcessSnapshot(nullptr);
        table.Add([&] { grid->repaint(); });
        charts.Add([&] {
            chartIn->repaint();
            chartOut->repaint();
        });
    }
    // The first passes create the series and open the connection.
    for (Timings* t : { &whole, &fetch, &history, &table, &charts })
        t->DropFirst(2);

    const double processedWall = whole.Wall() - fetch.Wall();
    const double processedCpu = whole.Cpu() - fetch.Cpu();
    const double target = hosts >= 65536 ? 40 : hosts >= 10000 ? 5 : 0;
    std::printf("live poll, %5d hosts, %s: with fetch %7.2f ms (CPU %7.2f), fetch %6.2f ms (CPU %6.2f)\n", hosts,
        bySpeed ? "current speed" : "data transferred", whole.Wall(), whole.Cpu(), fetch.Wall(), fetch.Cpu());
    std::printf("  processed (fetch excluded) %6.2f ms, CPU %6.2f ms%s\n", processedWall, processedCpu,
        target > 0 ? verdict(processedCpu, target).c_str() : "");
    std::printf("  the same lines as a history block: %6.2f ms (CPU %6.2f)\n", history.Wall(), history.Cpu());
    std::printf("  repaint after it: table %6.2f ms, both charts %6.2f ms, together %6.2f ms (CPU %6.2f)\n",
        table.Wall(), charts.Wall(), table.Wall() + charts.Wall(), table.Cpu() + charts.Cpu());
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

    Timings load, replay;
    for (int r = 0; r < 7; ++r) {
        // A replay always follows a Clear, which empties the graphs.
        clear->click();
        load.Add([&] { p.LoadHistory(); });
        clear->click();
        replay.Add([&] {
            for (const TStringList& block : prepared)
                p.ProcessSnapshot(&block);
        });
    }
    // The same with nothing to replay: the fresh connection a replay always opens, alone.
    b.service.Set("/history", "");
    Timings empty;
    for (int r = 0; r < 7; ++r)
        empty.Add([&] { p.LoadHistory(); });
    std::printf(
        "history replay, %d blocks of %d hosts, %s:\n", blocks, hosts, bySpeed ? "current speed" : "data transferred");
    std::printf("  LoadHistory from the service %7.2f ms (CPU %7.2f)%s\n", load.Wall(), load.Cpu(),
        verdict(load.Cpu(), 150).c_str());
    std::printf("  the prepared blocks alone    %7.2f ms (CPU %7.2f)%s\n", replay.Wall(), replay.Cpu(),
        verdict(replay.Cpu(), 150).c_str());
    std::printf("  LoadHistory of an empty history %6.2f ms (CPU %6.2f)\n", empty.Wall(), empty.Cpu());
}

void benchHostNames(Bench& b)
{
    Timings load, index;
    for (int r = 0; r < 9; ++r) {
        load.Add([&] { b.probe().LoadHostNames(); });
        // The directory builds its lookup index at the first lookup after a load, so the first
        // poll after every name refresh carries this too.
        index.Add([&] { b.probe().HostNames()->Lookup("198.18.0.1"); });
    }
    std::printf("LoadHostNames, 65536 names from the service: %6.2f ms (CPU %6.2f)%s\n", load.Wall(), load.Cpu(),
        verdict(load.Cpu(), 50).c_str());
    std::printf("  then the first lookup, which builds the index: %6.2f ms (CPU %6.2f)\n", index.Wall(), index.Cpu());
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
    std::string only; // one part alone, for a profiler run: names, live1000, live10000, live65536 or replay
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--soak") == 0 && i + 1 < argc) {
            soakSeconds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(
                stderr, "usage: %s [--soak SECONDS | --only names|live1000|live10000|live65536|replay]\n", argv[0]);
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
    if (only.empty() || only == "names")
        benchHostNames(b);
    for (int hosts : { 1000, 10000, 65536 })
        if (only.empty() || only == "live" + std::to_string(hosts))
            for (bool bySpeed : { false, true })
                benchLive(b, hosts, bySpeed);
    if (only.empty() || only == "replay")
        for (bool bySpeed : { false, true })
            benchHistory(b, bySpeed);
    return 0;
}
