#include "support/FakeSnifferService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

FakeSnifferService::FakeSnifferService()
    : FakeSnifferService(0)
{
}

FakeSnifferService::FakeSnifferService(int port)
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listenFd_, 16);
    socklen_t len = sizeof a;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

FakeSnifferService::~FakeSnifferService()
{
    stop_ = true;
    thread_.join();
    close(listenFd_);
}

void FakeSnifferService::Set(const std::string& path, const std::string& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_[path] = body;
}

void FakeSnifferService::RequireAuthorization(const std::string& value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    authorization_ = value;
}

void FakeSnifferService::Remove(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_.erase(path);
}

std::vector<std::string> FakeSnifferService::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<int> FakeSnifferService::RequestConnections() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requestConnections_;
}

void FakeSnifferService::ClearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    requestConnections_.clear();
}

void FakeSnifferService::run()
{
    std::vector<int> clients;
    std::map<int, std::string> pending;
    std::map<int, int> connectionNumber;
    int accepted = 0;
    while (!stop_) {
        std::vector<pollfd> fds { { listenFd_, POLLIN, 0 } };
        for (int c : clients)
            fds.push_back({ c, POLLIN, 0 });
        if (poll(fds.data(), fds.size(), 20) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            int c = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                clients.push_back(c);
                connectionNumber[c] = ++accepted;
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            int c = fds[i].fd;
            char buf[8192];
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0) {
                close(c);
                pending.erase(c);
                clients.erase(std::find(clients.begin(), clients.end(), c));
                continue;
            }
            std::string& in = pending[c];
            in.append(buf, size_t(n));
            size_t end;
            while ((end = in.find("\r\n\r\n")) != std::string::npos) {
                std::string head = in.substr(0, end);
                in.erase(0, end + 4);
                size_t sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
                std::string path = sp1 == std::string::npos ? "" : head.substr(sp1 + 1, sp2 - sp1 - 1);
                std::string body, status = "200 OK";
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(path);
                    requestConnections_.push_back(connectionNumber[c]);
                    auto it = bodies_.find(path);
                    if (!authorization_.empty()
                        && (head + "\r\n").find("\r\nAuthorization: " + authorization_ + "\r\n") == std::string::npos) {
                        status = "401 Unauthorized";
                        body = "credentials required\n";
                    } else if (it == bodies_.end()) {
                        status = "404 Not Found";
                        body = "not found\n";
                    } else {
                        body = it->second;
                    }
                }
                std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: "
                    + std::to_string(body.size()) + "\r\n\r\n" + body;
                size_t sent = 0;
                while (sent < response.size()) {
                    ssize_t w = send(c, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
                    if (w <= 0)
                        break;
                    sent += size_t(w);
                }
            }
        }
    }
    for (int c : clients)
        close(c);
}
