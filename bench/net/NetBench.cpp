// Prints request rates and throughput of our HTTP client and of libcurl against one loopback
// server: sequential keep-alive GETs of a small and of a large body; then the processor time of a
// large body from a local nginx against the curl command.
//   bench_net [small-runs [large-runs [nginx-runs]]]   everything
//   bench_net --nginx [runs]                           only the nginx comparison
#include "NginxBodyBench.h"
#include "net/NetHTTP.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Answers every request on a connection with the response for its path, keeping the connection.
class BenchServer {
public:
    BenchServer(std::string small, std::string large)
        : small_(std::move(small))
        , large_(std::move(large))
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 16);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { acceptLoop(); });
    }
    ~BenchServer()
    {
        stop_ = true;
        thread_.join();
        for (auto& t : connections_)
            t.join();
        ::close(fd_);
    }
    int Port() const { return port_; }

private:
    void acceptLoop()
    {
        while (!stop_) {
            pollfd p { fd_, POLLIN, 0 };
            if (::poll(&p, 1, 50) <= 0)
                continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c >= 0)
                connections_.emplace_back([this, c] { serve(c); });
        }
    }
    void serve(int c)
    {
        std::string in;
        char buf[8192];
        while (!stop_) {
            size_t end;
            while ((end = in.find("\r\n\r\n")) == std::string::npos) {
                pollfd p { c, POLLIN, 0 };
                if (::poll(&p, 1, 50) <= 0) {
                    if (stop_)
                        break;
                    continue;
                }
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) {
                    ::close(c);
                    return;
                }
                in.append(buf, size_t(n));
            }
            if (end == std::string::npos)
                break;
            bool large = in.compare(0, 10, "GET /large") == 0;
            in.erase(0, end + 4);
            const std::string& r = large ? large_ : small_;
            size_t sent = 0;
            while (sent < r.size()) {
                ssize_t n = ::send(c, r.data() + sent, r.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    ::close(c);
                    return;
                }
                sent += size_t(n);
            }
        }
        ::close(c);
    }

    std::string small_, large_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ { false };
    std::thread thread_;
    std::vector<std::thread> connections_;
};

std::string response(size_t size)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n" + std::string(size, 'x');
}

size_t appendBody(char* data, size_t size, size_t count, void* sink)
{
    static_cast<std::string*>(sink)->append(data, size * count);
    return size * count;
}

struct Figures {
    double seconds;
    int requests;
    size_t bytes;
};

Figures timeRuns(int requests, const std::function<size_t()>& fetch)
{
    fetch(); // the connect, outside the timing
    size_t bytes = 0;
    auto start = Clock::now();
    for (int i = 0; i < requests; ++i)
        bytes += fetch();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return { seconds, requests, bytes };
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--nginx") == 0)
        return RunNginxBodyBench(argc > 2 ? std::atoi(argv[2]) : 5);
    const size_t smallSize = 10 * 1024;
    const size_t largeSize = size_t(64) << 20;
    const int smallRuns = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int largeRuns = argc > 2 ? std::atoi(argv[2]) : 8;
    BenchServer server(response(smallSize), response(largeSize));
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());

    TNetHTTP ours;
    ours.SetConnectTimeout(750);
    ours.SetReadTimeout(2000);
    std::string body;
    auto oursFetch = [&](const std::string& path) {
        body.clear();
        ours.Get(base + path, body);
        return body.size();
    };

    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    std::string curlBody;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &curlBody);
    auto curlFetch = [&](const std::string& path) {
        curlBody.clear();
        curl_easy_setopt(curl, CURLOPT_URL, (base + path).c_str());
        if (curl_easy_perform(curl) != CURLE_OK)
            std::fprintf(stderr, "libcurl request failed\n");
        return curlBody.size();
    };

    Figures oursSmall = timeRuns(smallRuns, [&] { return oursFetch("/small"); });
    Figures curlSmall = timeRuns(smallRuns, [&] { return curlFetch("/small"); });
    Figures oursLarge = timeRuns(largeRuns, [&] { return oursFetch("/large"); });
    Figures curlLarge = timeRuns(largeRuns, [&] { return curlFetch("/large"); });

    auto rate = [](const Figures& f) { return f.requests / f.seconds; };
    auto latencyUs = [](const Figures& f) { return f.seconds / f.requests * 1e6; };
    auto mbps = [](const Figures& f) { return double(f.bytes) / (1 << 20) / f.seconds; };

    std::printf("keep-alive GET of %zu bytes, %d requests:\n", smallSize, smallRuns);
    std::printf("  ours     %9.0f req/s  %8.1f us/request\n", rate(oursSmall), latencyUs(oursSmall));
    std::printf("  libcurl  %9.0f req/s  %8.1f us/request\n", rate(curlSmall), latencyUs(curlSmall));
    std::printf("  ours minus libcurl: %.1f us per request (target: at most 1000 us + 30 %% = %.1f us)\n",
        latencyUs(oursSmall) - latencyUs(curlSmall), 1000 + 0.3 * latencyUs(curlSmall));
    std::printf("keep-alive GET of %zu bytes, %d requests:\n", largeSize, largeRuns);
    std::printf("  ours     %9.1f MB/s\n", mbps(oursLarge));
    std::printf("  libcurl  %9.1f MB/s\n", mbps(curlLarge));
    std::printf("  ours / libcurl: %.0f %% (target: at least 90 %%)\n", 100 * mbps(oursLarge) / mbps(curlLarge));

    curl_easy_cleanup(curl);
    curl_global_cleanup();
    return RunNginxBodyBench(argc > 3 ? std::atoi(argv[3]) : 5);
}
