#include "NginxBodyBench.h"

#include "net/NetHTTP.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr size_t kBodySize = size_t(60) << 20;
constexpr double kTarget = 1.3;

// The file's bytes: text-like, and different at every offset so that a misplaced piece shows.
char patternAt(size_t i)
{
    return char('a' + (i * 7 + (i >> 13)) % 26);
}

bool bodyIsThePattern(const std::string& body)
{
    if (body.size() != kBodySize)
        return false;
    for (size_t i = 0; i < body.size(); ++i)
        if (body[i] != patternAt(i))
            return false;
    return true;
}

struct Cost {
    double userMs = 0, sysMs = 0, wallMs = 0;
    long faults = 0, waits = 0;
    double cpuMs() const { return userMs + sysMs; }
};

double ms(const timeval& t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
}

Cost between(const rusage& a, const rusage& b, Clock::time_point start)
{
    Cost c;
    c.userMs = ms(b.ru_utime) - ms(a.ru_utime);
    c.sysMs = ms(b.ru_stime) - ms(a.ru_stime);
    c.faults = b.ru_minflt - a.ru_minflt;
    c.waits = b.ru_nvcsw - a.ru_nvcsw;
    c.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return c;
}

bool onPath(const char* program)
{
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

int freePort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool accepts(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Starts a program with its output in logFile; returns its process id, or -1.
pid_t spawn(const std::vector<std::string>& args, const std::string& logFile)
{
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int out = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
    }
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// nginx on 127.0.0.1 serving one file from its own temporary directory, stopped on destruction.
class LocalNginx {
public:
    LocalNginx()
    {
        char dir[] = "/tmp/qtm-bench-nginx-XXXXXX";
        if (!::mkdtemp(dir))
            return;
        dir_ = dir;
        // Workers may run as another user: they must be able to read the files.
        ::chmod(dir, 0755);
        ::mkdir((dir_ + "/www").c_str(), 0755);
        ::mkdir((dir_ + "/logs").c_str(), 0755);
        {
            std::string body(kBodySize, '\0');
            for (size_t i = 0; i < body.size(); ++i)
                body[i] = patternAt(i);
            std::ofstream(dir_ + "/www/body", std::ios::binary).write(body.data(), std::streamsize(body.size()));
        }
        port_ = freePort();
        const std::string& d = dir_;
        std::ofstream conf(d + "/nginx.conf");
        conf << (::geteuid() == 0 ? "user root;\n" : "") << "worker_processes 1;\n"
             << "error_log " << d << "/logs/error.log;\n"
             << "pid " << d << "/logs/nginx.pid;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n  access_log off;\n  sendfile on;\n  keepalive_timeout 30;\n"
             << "  client_body_temp_path " << d << "/logs;\n  proxy_temp_path " << d << "/logs;\n"
             << "  fastcgi_temp_path " << d << "/logs;\n  uwsgi_temp_path " << d << "/logs;\n"
             << "  scgi_temp_path " << d << "/logs;\n"
             << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << d << "/www;\n  }\n}\n";
        conf.close();
        pid_ = spawn({ "nginx", "-p", d, "-c", d + "/nginx.conf", "-g", "daemon off;" }, d + "/logs/nginx.out");
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (accepts(port_)) {
                running_ = true;
                return;
            }
            int status;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::fprintf(stderr, "nginx did not start; see %s/logs\n", d.c_str());
    }
    ~LocalNginx()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty() && running_)
            std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    bool Running() const { return running_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/body"; }

private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool running_ = false;
};

// Drops the bytes, as curl's -o /dev/null does; counts them to check the length.
struct CountingSink : TNetBodySink {
    size_t bytes = 0;
    void Write(std::string_view piece) override { bytes += piece.size(); }
};

void setUpLikeMonitor(TNetHTTP& client)
{
    client.SetConnectTimeout(750);
    client.SetReadTimeout(2000);
}

// One fetch by a fresh client, connect and close included, into a text the call leaves held.
Cost oursIntoText(const std::string& url, std::string& body)
{
    rusage a {}, b {};
    auto start = Clock::now();
    ::getrusage(RUSAGE_SELF, &a);
    {
        TNetHTTP client;
        setUpLikeMonitor(client);
        client.Get(url, body);
    }
    ::getrusage(RUSAGE_SELF, &b);
    return between(a, b, start);
}

Cost oursThroughSink(const std::string& url, size_t& bytes)
{
    rusage a {}, b {};
    CountingSink sink;
    auto start = Clock::now();
    ::getrusage(RUSAGE_SELF, &a);
    {
        TNetHTTP client;
        setUpLikeMonitor(client);
        client.Get(url, sink);
    }
    ::getrusage(RUSAGE_SELF, &b);
    bytes = sink.bytes;
    return between(a, b, start);
}

// The curl command's whole process: start-up, connect, transfer, exit. False when it failed.
bool curlRun(const std::string& url, Cost& cost)
{
    auto start = Clock::now();
    pid_t pid = spawn({ "curl", "-s", "-f", "-o", "/dev/null", url }, "/dev/null");
    int status = 0;
    rusage r {};
    if (pid < 0 || ::wait4(pid, &status, 0, &r) != pid)
        return false;
    cost.userMs = ms(r.ru_utime);
    cost.sysMs = ms(r.ru_stime);
    cost.faults = r.ru_minflt;
    cost.waits = r.ru_nvcsw;
    cost.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Resident memory in MB: the current figure, or the peak since the last reset.
double residentMb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::atof(line.c_str() + std::strlen(field)) / 1024.0;
    return 0;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

Cost median(std::vector<Cost> costs)
{
    std::sort(costs.begin(), costs.end(), [](const Cost& x, const Cost& y) { return x.cpuMs() < y.cpuMs(); });
    return costs[costs.size() / 2];
}

void printCost(const char* what, const Cost& c)
{
    std::printf("  %-26s %6.1f ms CPU (user %5.1f, system %5.1f)  wall %6.1f ms  %6ld page faults %5ld waits\n", what,
        c.cpuMs(), c.userMs, c.sysMs, c.wallMs, c.faults, c.waits);
}
} // namespace

int RunNginxBodyBench(int runs)
{
    std::printf(
        "%zu MB body from nginx on 127.0.0.1, processor time of one fetch (connect included):\n", kBodySize >> 20);
    if (!onPath("nginx") || !onPath("curl")) {
        std::printf("  skipped: nginx and curl are needed (scripts/install-deps)\n");
        return 1;
    }
    LocalNginx nginx;
    if (!nginx.Running())
        return 1;
    const std::string url = nginx.Url();
    runs = std::max(1, runs);
    try {
        // Warm the page cache and nginx; check the bytes and how much memory one fetch holds.
        Cost warm;
        if (!curlRun(url, warm)) {
            std::printf("  curl failed on %s\n", url.c_str());
            return 1;
        }
        const double before = residentMb("VmRSS:");
        resetPeakResident();
        std::string body;
        oursIntoText(url, body);
        const double peak = residentMb("VmHWM:") - before;
        if (!bodyIsThePattern(body)) {
            std::printf("  our client brought %zu bytes that are not the file\n", body.size());
            return 1;
        }
        body = std::string();

        std::vector<Cost> text, streamed, curl;
        for (int i = 0; i < runs; ++i) {
            std::string b;
            text.push_back(oursIntoText(url, b));
            if (b.size() != kBodySize)
                throw std::runtime_error("short body: " + std::to_string(b.size()));
            b = std::string();
            size_t bytes = 0;
            streamed.push_back(oursThroughSink(url, bytes));
            if (bytes != kBodySize)
                throw std::runtime_error("short streamed body: " + std::to_string(bytes));
            Cost c;
            if (!curlRun(url, c))
                throw std::runtime_error("curl failed");
            curl.push_back(c);
            std::printf("  run %d: ours %.1f ms into a text, %.1f ms through a sink; curl %.1f ms\n", i + 1,
                text.back().cpuMs(), streamed.back().cpuMs(), c.cpuMs());
        }
        Cost t = median(text), s = median(streamed), c = median(curl);
        std::printf(" median of %d runs:\n", runs);
        printCost("ours, into one text", t);
        printCost("ours, through a body sink", s);
        printCost("curl -s -o /dev/null", c);
        std::printf("  (our wall time includes the connect's first 125 ms check, which costs no CPU)\n");
        std::printf("  ours / curl: %.2fx into a text, %.2fx through a sink (target: <= %.1fx)\n",
            t.cpuMs() / c.cpuMs(), s.cpuMs() / c.cpuMs(), kTarget);
        std::printf("  memory held at the peak of one fetch into a text: %.1f MB for a %.1f MB body"
                    " (target: the body once)\n",
            peak, double(kBodySize) / (1 << 20));
    } catch (const std::exception& e) {
        std::printf("  fetch failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
