#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback HTTP/1.1 server of the test's own that answers GETs from a table of path → body
// (status 200, Content-Length, keep-alive) and 404 for anything else. Bodies can be changed while
// it runs; every request path is recorded, with the number of the connection it came on.
class FakeSnifferService {
public:
    FakeSnifferService();
    // On a port of the test's choosing, for a service that stops and comes back where it was.
    explicit FakeSnifferService(int port);
    ~FakeSnifferService();

    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

    void Set(const std::string& path, const std::string& body);
    // From now on a request whose head lacks exactly this Authorization value is answered 401.
    void RequireAuthorization(const std::string& value);
    void Remove(const std::string& path);
    std::vector<std::string> Requests() const;
    // The connection of each request in Requests(), numbered from 1 in the order they were accepted.
    std::vector<int> RequestConnections() const;
    void ClearRequests();

private:
    void run();
    void serve(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ { false };
    mutable std::mutex mutex_;
    std::map<std::string, std::string> bodies_;
    std::string authorization_;
    std::vector<std::string> requests_;
    std::vector<int> requestConnections_;
    std::thread thread_;
};
