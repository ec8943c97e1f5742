#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// One TCP connection to the service on loopback, for what a library client would hide. Every
// wait is bounded by the receive timeout, so a silent service fails a test instead of hanging it.
class RawConnection {
public:
    // source: the loopback address to connect from (any of 127.0.0.0/8).
    explicit RawConnection(int port, uint32_t source = INADDR_LOOPBACK, int timeoutMs = 10000)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in from {};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::bind(m_fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0
            && connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        timeval limit { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawConnection() { close(m_fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return m_connected; }
    void send(const std::string& text)
    {
        ASSERT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    bool trySend(const std::string& text)
    {
        return ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    }
    // Status line, headers and a body of Content-Length bytes (none when headOnly); empty when the
    // server closed or said nothing within the timeout.
    std::string response(bool headOnly = false)
    {
        size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos)
            if (!fill())
                return {};
        std::string head = m_buffer.substr(0, end + 4);
        size_t length = 0;
        auto at = head.find("Content-Length: ");
        if (at != std::string::npos && !headOnly)
            length = size_t(std::stoul(head.substr(at + 16)));
        while (m_buffer.size() < end + 4 + length)
            if (!fill())
                return {};
        std::string whole = m_buffer.substr(0, end + 4 + length);
        m_buffer.erase(0, whole.size());
        return whole;
    }
    // True when the server closed (or reset) the connection within the timeout, with nothing
    // more to read.
    bool closedByPeer()
    {
        char c;
        ssize_t n = recv(m_fd, &c, 1, 0);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }
    // Everything up to the server's close, at most cap bytes.
    size_t bytesUntilClose(size_t cap)
    {
        size_t total = m_buffer.size();
        m_buffer.clear();
        char chunk[65536];
        ssize_t n;
        while (total < cap && (n = recv(m_fd, chunk, sizeof chunk, 0)) > 0)
            total += size_t(n);
        return total;
    }

private:
    bool fill()
    {
        char chunk[65536];
        ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, size_t(n));
        return true;
    }
    int m_fd;
    bool m_connected = false;
    std::string m_buffer;
};
