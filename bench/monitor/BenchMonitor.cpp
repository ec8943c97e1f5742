// Prints how long the monitor takes per poll, repaint, history replay and name load against a
// loopback service, and with --soak SECONDS its resident memory while it polls once a second.
#include "FormProbe.h"

#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "service/LineSplitting.h"
#include "support/FakeSnifferService.h"
#include "support/TempSettings.h"
#include "table/QuickList.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include "support/BenchClock.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
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

// The floor a processed figure is held against: one plain pass over the same bytes, split into
// lines and five integers read per line, with nothing kept.
int64_t plainPass(const std::string& text)
{
    int64_t sum = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (lineEnd == nullptr)
            lineEnd = end;
        for (int field = 0; field < 5 && p < lineEnd; ++field) {
            int64_t value = 0;
            while (p < lineEnd && *p >= '0' && *p <= '9')
                value = value * 10 + (*p++ - '0');
            sum += value;
            while (p < lineEnd && *p != ',')
                ++p;
            ++p;
        }
        p = lineEnd + 1;
    }
    return sum;
}

// One timed plain pass over the text.
void timePlainPass(Timings& t, const std::string& text)
{
    static volatile int64_t sink = 0;
    t.Add([&] { sink = sink + plainPass(text); });
}

// A poll reads lines its fetch has just written, so the pass beside a poll reads a copy just made.
void timePlainPassOverCopy(Timings& t, const std::string& text, std::string& copy)
{
    copy.assign(text);
    timePlainPass(t, copy);
}

// The median CPU time of the plain pass over the text, run again and again. Over a small text that
// is faster than a pass over a text not read just before, since the processor learns where its
// digits end; the live polls' floors are timed between the polls instead.
double floorCpuMs(const std::string& text)
{
    Timings t;
    for (int r = 0; r < 9; ++r)
        timePlainPass(t, text);
    return t.Cpu();
}

std::string againstFloor(double ms, double floorMs)
{
    char text[96];
    std::snprintf(text, sizeof text, "  floor %.3f ms, %.1fx the floor (%starget <= 3x)", floorMs, ms / floorMs,
        ms <= 3 * floorMs ? "" : "MISSED ");
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
// The service's text around its host lines, and one host line.
std::string snapshotHead(size_t hosts)
{
    std::string s = "Quorvel sniffer, " + std::to_string(hosts) + " hosts\r\n";
    s.reserve(hosts * 56);
    return s;
}
constexpr const char* SnapshotTail = "end\r\n";
void appendHostLine(std::string& s, int i, int64_t send, int64_t recv, int64_t sent, int64_t received)
{
    s += address(i) + "," + std::to_string(send) + "," + std::to_string(recv) + "," + std::to_string(sent) + ","
        + std::to_string(received) + "\r\n";
}

std::string snapshotText(int hosts, std::mt19937& rng)
{
    std::uniform_int_distribution<int64_t> rate(0, 20000000), total(0, int64_t(1) << 40);
    std::string s = snapshotHead(size_t(hosts));
    for (int i = 0; i < hosts; ++i) {
        const bool idle = rng() % 3 == 0;
        const int64_t send = idle ? 0 : rate(rng) >> (rng() % 20), recv = idle ? 0 : rate(rng) >> (rng() % 20);
        const int64_t sent = total(rng);
        appendHostLine(s, i, send, recv, sent, total(rng));
    }
    return s + SnapshotTail;
}

// A network as a service counts it second after second: the totals are counters that grow by
// the rates, a host now and then falls idle or wakes, and the rates of the busy ones vary.
class TSteadyTraffic {
public:
    TSteadyTraffic(int hosts, std::mt19937& rng)
        : rng_(rng)
        , hosts_(size_t(hosts))
    {
        std::uniform_int_distribution<int64_t> total(0, int64_t(1) << 40);
        for (THost& host : hosts_) {
            host.Idle = rng_() % 3 == 0;
            host.Sent = total(rng_);
            host.Received = total(rng_);
        }
    }
    std::string NextSnapshot()
    {
        std::uniform_int_distribution<int64_t> rate(0, 20000000);
        std::string s = snapshotHead(hosts_.size());
        for (size_t i = 0; i < hosts_.size(); ++i) {
            THost& host = hosts_[i];
            if (rng_() % 20 == 0)
                host.Idle = !host.Idle;
            const int64_t send = host.Idle ? 0 : rate(rng_) >> (rng_() % 20);
            const int64_t recv = host.Idle ? 0 : rate(rng_) >> (rng_() % 20);
            host.Sent += send;
            host.Received += recv;
            appendHostLine(s, int(i), send, recv, host.Sent, host.Received);
        }
        return s + SnapshotTail;
    }

private:
    struct THost {
        bool Idle = false;
        int64_t Sent = 0;
        int64_t Received = 0;
    };
    std::mt19937& rng_;
    std::vector<THost> hosts_;
};

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

long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0)
            return std::strtol(line.c_str() + n, nullptr, 10);
    return -1;
}

// Starts the peak resident memory (VmHWM) afresh from the current resident memory.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A service of its own in a child process that answers every connection with one history of
// hosts x blocks, so that its copy of the text is not counted in the monitor's memory.
struct HistoryServer {
    pid_t pid = -1;
    int port = 0;
    size_t bytes = 0;

    HistoryServer(int hosts, int blocks)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            serve(ready[1], hosts, blocks);
            _exit(0);
        }
        close(ready[1]);
        struct {
            int port;
            size_t bytes;
        } info {};
        if (read(ready[0], &info, sizeof info) == sizeof info) {
            port = info.port;
            bytes = info.bytes;
        }
        close(ready[0]);
    }
    ~HistoryServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

    static void serve(int readyFd, int hosts, int blocks)
    {
        std::mt19937 rng(11);
        std::string body;
        body.reserve(size_t(hosts) * size_t(blocks) * 60);
        for (int b = 0; b < blocks; ++b)
            body += snapshotText(hosts, rng) + "###\r\n";
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
        int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 4) != 0
            || getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            _exit(1);
        struct {
            int port;
            size_t bytes;
        } info { ntohs(a.sin_port), body.size() };
        if (write(readyFd, &info, sizeof info) != sizeof info)
            _exit(1);
        close(readyFd);
        for (;;) {
            int c = accept(listener, nullptr, nullptr);
            if (c < 0)
                continue;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, size_t(n));
            }
            for (const std::string* part : { &head, static_cast<const std::string*>(&body) }) {
                size_t sent = 0;
                while (sent < part->size()) {
                    ssize_t w = send(c, part->data() + sent, part->size() - sent, MSG_NOSIGNAL);
                    if (w <= 0)
                        break;
                    sent += size_t(w);
                }
            }
            close(c);
        }
    }
};

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

    // The same hosts with other figures: rows whose figures did not change keep their texts, so
    // a poll after which every figure is new is timed as well.
    const std::string changed = snapshotText(hosts, b.rng);

    // Each poll's floor is one pass timed in the same rounds as the polls, between them: a pass run
    // again at once over the same 50 KB is a third faster, the processor having learnt its digits,
    // and the machine's pace moves a pass near 0.05 ms as much as it moves the polls.
    Timings whole, fetch, history, table, charts, wholeChanged, fetchChanged, flush, floor, steadyFloor;
    std::string justWritten;
    // Small polls are timed often: their medians are differences of two figures near 0.1 ms.
    const int rounds = hosts >= 65536 ? 9 : hosts >= 10000 ? 21 : 101;
    // A live pass always fetches; the same fetch alone, over the same kept-alive connection, is
    // timed next to it and taken off. A poll writes its lines over those of the poll before the
    // last, and a line longer than the one it replaces takes new memory, so the fetch alone writes
    // over what that poll's fetch finds: the other figures, in both directions.
    TStringList fetched;
    ReplaceLines(changed, fetched);
    for (int r = 0; r < rounds + 2; ++r) {
        timePlainPassOverCopy(floor, text, justWritten);
        fetch.Add([&] { p.FetchLines(location, fetched); });
        whole.Add([&] { p.ProcessSnapshot(nullptr); });
        history.Add([&] { p.ProcessSnapshot(&prepared); });
        // The history pass cut the table to its header; a live pass puts the rows back before painting.
        p.ProcessSnapshot(nullptr);
        // What the poll left waiting, painted as the event loop paints it; a synchronous repaint
        // would paint all of it too, so each widget is timed painting itself whole after it.
        flush.Add([&] { QApplication::processEvents(); });
        table.Add([&] { grid->repaint(); });
        charts.Add([&] {
            chartIn->repaint();
            chartOut->repaint();
        });
        b.ServeSnapshot(changed);
        fetchChanged.Add([&] { p.FetchLines(location, fetched); });
        wholeChanged.Add([&] { p.ProcessSnapshot(nullptr); });
        b.ServeSnapshot(text);
        p.ProcessSnapshot(nullptr);
    }
    // The first passes create the series and open the connection.
    for (Timings* t : { &whole, &fetch, &history, &table, &charts, &wholeChanged, &fetchChanged, &flush, &floor })
        t->DropFirst(2);

    // Polls of a steady network: each brings new rates and grown totals, as a real service's do,
    // while the hosts mostly keep their places. Each is painted as the event loop paints it.
    // The fetch alone again writes over what the poll's own finds: the snapshot two polls back.
    TSteadyTraffic traffic(hosts, b.rng);
    TStringList steadyFetched[2];
    p.FetchLines(location, steadyFetched[0]);
    std::string steadyText = traffic.NextSnapshot();
    b.ServeSnapshot(steadyText);
    p.FetchLines(location, steadyFetched[1]);
    p.ProcessSnapshot(nullptr);
    QApplication::processEvents();
    Timings steady, steadyFetch, steadyFlush;
    for (int r = 0; r < rounds; ++r) {
        steadyText = traffic.NextSnapshot();
        b.ServeSnapshot(steadyText);
        timePlainPassOverCopy(steadyFloor, steadyText, justWritten);
        steadyFetch.Add([&] { p.FetchLines(location, steadyFetched[r % 2]); });
        steady.Add([&] { p.ProcessSnapshot(nullptr); });
        steadyFlush.Add([&] { QApplication::processEvents(); });
    }
    b.ServeSnapshot(text);
    p.ProcessSnapshot(nullptr);
    QApplication::processEvents();

    const double processedWall = whole.Wall() - fetch.Wall();
    const double processedCpu = whole.Cpu() - fetch.Cpu();
    const double target = hosts >= 65536 ? (bySpeed ? 20 : 15) : hosts >= 10000 ? (bySpeed ? 3 : 2) : 0.3;
    const double floorMs = floor.Cpu();
    std::printf("live poll, %5d hosts, %s: with fetch %7.2f ms (CPU %7.2f), fetch %6.2f ms (CPU %6.2f)\n", hosts,
        bySpeed ? "current speed" : "data transferred", whole.Wall(), whole.Cpu(), fetch.Wall(), fetch.Cpu());
    std::printf("  processed (fetch excluded) %6.3f ms, CPU %6.3f ms%s\n", processedWall, processedCpu,
        verdict(processedCpu, target).c_str());
    std::printf("  %s\n", againstFloor(processedCpu, floorMs).c_str());
    std::printf("    (the same pass run again and again over one text: %.3f ms)\n", floorCpuMs(text));
    const double changedCpu = wholeChanged.Cpu() - fetchChanged.Cpu();
    std::printf("  processed with every figure new since the last poll: CPU %6.3f ms%s\n", changedCpu,
        verdict(changedCpu, target).c_str());
    std::printf("  %s\n", againstFloor(changedCpu, floorMs).c_str());
    const double steadyCpu = steady.Cpu() - steadyFetch.Cpu();
    std::printf("  processed, a steady network's next poll: CPU %6.3f ms%s, the whole poll with its fetch %6.3f ms\n",
        steadyCpu, verdict(steadyCpu, target).c_str(), steady.Cpu());
    std::printf("  %s\n", againstFloor(steadyCpu, steadyFloor.Cpu()).c_str());
    std::printf("  what that poll left to paint, as the event loop paints it: %6.2f ms (CPU %6.2f)%s\n",
        steadyFlush.Wall(), steadyFlush.Cpu(), verdict(steadyFlush.Cpu(), 3).c_str());
    std::printf("  the same lines as a history block: %6.2f ms (CPU %6.2f)%s\n", history.Wall(), history.Cpu(),
        againstFloor(history.Cpu(), floorMs).c_str());
    std::printf("  repaint after it: table %6.2f ms, both charts %6.2f ms, together %6.2f ms (CPU %6.2f)%s\n",
        table.Wall(), charts.Wall(), table.Wall() + charts.Wall(), table.Cpu() + charts.Cpu(),
        verdict(table.Cpu() + charts.Cpu(), 3).c_str());
    std::printf("  what the poll left to paint, as the event loop paints it: %6.2f ms (CPU %6.2f)%s\n", flush.Wall(),
        flush.Cpu(), verdict(flush.Cpu(), 3).c_str());
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
        replay.Add([&] { p.ReplayBlocks(prepared); });
    }
    // The same with nothing to replay: the fresh connection a replay always opens, alone.
    b.service.Set("/history", "");
    Timings empty;
    for (int r = 0; r < 7; ++r)
        empty.Add([&] { p.LoadHistory(); });
    std::printf(
        "history replay, %d blocks of %d hosts, %s:\n", blocks, hosts, bySpeed ? "current speed" : "data transferred");
    const double floorMs = floorCpuMs(history);
    std::printf("  LoadHistory from the service %7.2f ms (CPU %7.2f)%s\n", load.Wall(), load.Cpu(),
        againstFloor(load.Cpu(), floorMs).c_str());
    std::printf("  the prepared blocks alone    %7.2f ms (CPU %7.2f)%s\n", replay.Wall(), replay.Cpu(),
        verdict(replay.Cpu(), 20).c_str());
    std::printf("  %s\n", againstFloor(replay.Cpu(), floorMs).c_str());
    std::printf("  LoadHistory of an empty history %6.2f ms (CPU %6.2f)\n", empty.Wall(), empty.Cpu());
}

// The history of the largest network the service allows, far beyond the cap of any resource held
// whole: it must replay, with the monitor's memory bounded.
void benchLargeHistory(Bench& b, const HistoryServer& server, int blocks)
{
    if (server.port == 0) {
        std::printf("history replay, 65536 hosts: no history server\n");
        return;
    }
    FormProbe p = b.probe();
    QPushButton* clear = b.control<QPushButton>("ClearBtn");
    const std::string address = p.ServiceAddress();
    p.ServiceAddress() = "127.0.0.1:" + std::to_string(server.port);
    // The plain pass over one block of the same size, once per block.
    std::mt19937 rng(11);
    const double floorMs = floorCpuMs(snapshotText(65536, rng) + "###\r\n") * blocks;
    for (bool bySpeed : { false, true }) {
        b.SortBySpeed(bySpeed);
        Timings load;
        long peakKiB = 0, beforeKiB = 0;
        double replayed = 0;
        for (int r = 0; r < 2; ++r) {
            clear->click();
            beforeKiB = statusKiB("VmRSS:");
            resetPeakMemory();
            const double before = p.SampleIndex();
            load.Add([&] { p.LoadHistory(); });
            replayed = p.SampleIndex() - before;
            peakKiB = std::max(peakKiB, statusKiB("VmHWM:"));
        }
        std::printf("history replay, 65536 hosts x %d blocks (%.0f MB), %s: %d blocks replayed\n", blocks,
            double(server.bytes) / 1e6, bySpeed ? "current speed" : "data transferred", int(replayed));
        std::printf("  LoadHistory %6.2f s, CPU %6.2f s  (%starget <= 3 s)\n", load.Wall() / 1000, load.Cpu() / 1000,
            load.Cpu() <= 3000 ? "" : "MISSED ");
        std::printf("  %s\n", againstFloor(load.Cpu(), floorMs).c_str());
        std::printf("  peak memory VmHWM %.0f MB, %.0f MB before the replay  (%starget <= 400 MB)\n", peakKiB / 1024.0,
            beforeKiB / 1024.0, peakKiB / 1024.0 <= 400 ? "" : "MISSED ");
        std::fflush(stdout);
    }
    p.ServiceAddress() = address;
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

// The application, which while an idle window is timed also adds up the processor time of the
// two things an idle second mostly does: the paint that follows a poll and the poll timer's tick.
// Only a counter and a comparison are added to every other event. It also reads the thread's time
// as each tick starts, so that the seconds are marked without a timer of the benchmark's own: a
// timer would wake the idle window once more a second, which the program alone does not.
class TTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    static TTimedApplication* Instance() { return static_cast<TTimedApplication*>(QCoreApplication::instance()); }
    void StartTiming(const QObject* pollTimer)
    {
        pollTimer_ = pollTimer;
        paintMs_ = pollMs_ = 0;
        tickMarks_.clear();
        timing_ = true;
    }
    void StopTiming() { timing_ = false; }
    double PaintMs() const { return paintMs_; }
    double PollMs() const { return pollMs_; }
    // The thread's processor ms as each poll tick started.
    const std::vector<double>& TickMarks() const { return tickMarks_; }

    bool notify(QObject* receiver, QEvent* event) override
    {
        const bool outermost = depth_ == 0;
        double* sum = nullptr;
        if (timing_ && outermost) {
            if (event->type() == QEvent::UpdateRequest)
                sum = &paintMs_;
            else if (event->type() == QEvent::Timer && receiver == pollTimer_)
                sum = &pollMs_;
        }
        const double start = sum ? threadCpuMs() : 0;
        if (sum == &pollMs_)
            tickMarks_.push_back(start);
        ++depth_;
        const bool done = QApplication::notify(receiver, event);
        --depth_;
        if (sum)
            *sum += threadCpuMs() - start;
        return done;
    }

private:
    bool timing_ = false;
    int depth_ = 0;
    const QObject* pollTimer_ = nullptr;
    double paintMs_ = 0;
    double pollMs_ = 0;
    std::vector<double> tickMarks_;
};

void startIdleTiming(const QObject* pollTimer)
{
    TTimedApplication::Instance()->StartTiming(pollTimer);
}

struct IdleTiming {
    double PaintMs;
    double PollMs;
    std::vector<double> TickMarks;
};

// The paint's and the poll's processor ms since the timing started, and the thread's time at each tick.
IdleTiming stopIdleTiming()
{
    TTimedApplication* app = TTimedApplication::Instance();
    app->StopTiming();
    return { app->PaintMs(), app->PollMs(), app->TickMarks() };
}

// The window left to its own timers, polling a 1,000-host service: the processor time of the
// window's thread over the wall time. The loopback service runs on a thread of this process too,
// so the whole process's share is printed beside it. A steady network is what a monitor left
// running sees; every figure and the whole order new each second is the worst case.
void benchIdle(int seconds, bool steady)
{
    Bench b(1000);
    const int hosts = 1000;
    b.ServeSnapshot(snapshotText(hosts, b.rng));
    b.form->show();
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] { b.ServeSnapshot(snapshotText(hosts, b.rng)); });
    feed.start(1000);
    // The first polls open the connection and load the names.
    QEventLoop settle;
    QTimer::singleShot(3000, &settle, &QEventLoop::quit);
    settle.exec();
    // Making the next snapshots is the service's work, not the window's: it is done before.
    std::vector<std::string> snapshots;
    TSteadyTraffic traffic(hosts, b.rng);
    for (int i = 0; i < seconds + 2; ++i)
        snapshots.push_back(steady ? traffic.NextSnapshot() : snapshotText(hosts, b.rng));
    feed.stop();
    // The service puts its next snapshot in place on a thread of its own: copying the text into
    // the service is the service's work, not the window's.
    std::mutex feedMutex;
    std::condition_variable feedStop;
    bool stopFeeding = false;
    std::thread feeder([&] {
        std::unique_lock<std::mutex> lock(feedMutex);
        for (size_t next = 0; !feedStop.wait_for(lock, std::chrono::seconds(1), [&] { return stopFeeding; });)
            b.ServeSnapshot(snapshots[next++ % snapshots.size()]);
    });
    // The machine's pace moves by half from minute to minute here; a plain pass over a snapshot
    // just before and just after the timed window shows which pace the window ran at.
    const auto pace = [&] {
        Timings t;
        std::string copy;
        for (int r = 0; r < 9; ++r)
            timePlainPassOverCopy(t, snapshots[size_t(r) % snapshots.size()], copy);
        return t.Cpu();
    };
    const double paceBefore = pace();
    const double thread0 = threadCpuMs();
    const double process0 = BenchClock::cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double polls0 = b.probe().SampleIndex();
    const auto start = Clock::now();
    QEventLoop run;
    QTimer::singleShot(seconds * 1000, &run, &QEventLoop::quit);
    startIdleTiming(b.probe().Timer1());
    run.exec();
    const auto [paintMs, pollMs, secondMarks] = stopIdleTiming();
    const double wall = msSince(start);
    const double thread = (threadCpuMs() - thread0) / wall * 100;
    const double process = (BenchClock::cpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0) / wall * 100;
    const double paceAfter = pace();
    {
        std::lock_guard<std::mutex> lock(feedMutex);
        stopFeeding = true;
    }
    feedStop.notify_one();
    feeder.join();
    // The thread's time from tick to tick: the median second, beside the mean, shows what a poll
    // costs apart from the rare second that also reloads the names; the largest shows that.
    std::vector<double> perSecond;
    for (size_t i = 1; i < secondMarks.size(); ++i)
        perSecond.push_back(secondMarks[i] - secondMarks[i - 1]);
    std::sort(perSecond.begin(), perSecond.end());
    const double medianSecond = perSecond.empty() ? 0 : perSecond[perSecond.size() / 2] / 10;
    const double largestSecond = perSecond.empty() ? 0 : perSecond.back() / 10;
    std::printf("idle window polling %d hosts for %d s (%d polls), %s: window thread %.3f %% of a core%s, median "
                "second %.3f %%, largest %.3f %%, whole process with the service %.3f %%\n",
        hosts, seconds, int(b.probe().SampleIndex() - polls0),
        steady ? "a steady network" : "every figure and the order new each second", thread,
        steady ? (thread <= 0.3 ? "  (target <= 0.3 %)" : "  (MISSED target <= 0.3 %)") : "", medianSecond,
        largestSecond, process);
    // An idle second starts cold: these are about twice what the same work costs in the loops above.
    std::printf(
        "  of each second: the paint after the poll %.0f us, the poll with its fetch %.0f us, the rest %.0f us\n",
        paintMs * 1000 / (wall / 1000), pollMs * 1000 / (wall / 1000),
        (thread / 100 * 1000 - paintMs / (wall / 1000) - pollMs / (wall / 1000)) * 1000);
    std::printf(
        "  the machine's pace: a plain pass over one of these snapshots took %.3f ms just before the window was "
        "timed and %.3f ms just after\n",
        paceBefore, paceAfter);
    std::fflush(stdout);
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
    std::string
        only; // one part alone, for a profiler run: names, live1000, live10000, live65536, replay or replay65536
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--soak") == 0 && i + 1 < argc) {
            soakSeconds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr,
                "usage: %s [--soak SECONDS | --only names|live1000|live10000|live65536|replay|replay65536|idle]\n",
                argv[0]);
            return 2;
        }
    }
    // Forked before any thread exists.
    std::unique_ptr<HistoryServer> largeHistory;
    constexpr int LargeHistoryBlocks = 100;
    if (soakSeconds == 0 && (only.empty() || only == "replay65536"))
        largeHistory = std::make_unique<HistoryServer>(65536, LargeHistoryBlocks);
    TTimedApplication app(argc, argv);
    if (soakSeconds > 0) {
        Bench b(1000);
        return soak(b, soakSeconds);
    }

    if (only == "idle") {
        benchIdle(20, true);
        benchIdle(20, false);
        return 0;
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
    if (largeHistory)
        benchLargeHistory(b, *largeHistory, LargeHistoryBlocks);
    if (only.empty()) {
        b.form->hide();
        benchIdle(20, true);
        benchIdle(20, false);
    }
    return 0;
}
