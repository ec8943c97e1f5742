#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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
    // receiveBytes: a receive buffer this small, for a client that takes little at a time.
    explicit RawConnection(int port, uint32_t source = INADDR_LOOPBACK, int timeoutMs = 10000, int receiveBytes = 0)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBytes > 0)
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes);
        sockaddr_in from {};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0
            && connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        timeval limit { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~RawConnection() { close(fd_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return connected_; }
    void send(const std::string& text)
    {
        ASSERT_EQ(::send(fd_, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    bool trySend(const std::string& text)
    {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    }
    // Status line, headers and a body of Content-Length bytes or of chunks (then given decoded;
    // none when headOnly); empty when the server closed or said nothing within the timeout, or
    // when a chunk is malformed.
    std::string response(bool headOnly = false)
    {
        size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
            if (!fill())
                return {};
        std::string head = buffer_.substr(0, end + 4);
        if (!headOnly && head.find("\r\nTransfer-Encoding: chunked\r\n") != std::string::npos) {
            buffer_.erase(0, end + 4);
            return chunks(head);
        }
        size_t length = 0;
        auto at = head.find("Content-Length: ");
        if (at != std::string::npos && !headOnly)
            length = size_t(std::stoul(head.substr(at + 16)));
        while (buffer_.size() < end + 4 + length)
            if (!fill())
                return {};
        std::string whole = buffer_.substr(0, end + 4 + length);
        buffer_.erase(0, whole.size());
        return whole;
    }
    // True when the server closed (or reset) the connection within the timeout, with nothing
    // more to read.
    bool closedByPeer()
    {
        char c;
        ssize_t n = recv(fd_, &c, 1, 0);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }
    // At most max bytes of what has come: 0 when the server closed, -1 on a timeout or reset.
    ssize_t readSome(size_t max)
    {
        if (!buffer_.empty()) {
            size_t n = std::min(max, buffer_.size());
            buffer_.erase(0, n);
            return ssize_t(n);
        }
        std::string chunk(max, '\0');
        return recv(fd_, chunk.data(), max, 0);
    }
    // Everything up to the server's close, at most cap bytes.
    size_t bytesUntilClose(size_t cap)
    {
        size_t total = buffer_.size();
        buffer_.clear();
        char chunk[65536];
        ssize_t n;
        while (total < cap && (n = recv(fd_, chunk, sizeof chunk, 0)) > 0)
            total += size_t(n);
        return total;
    }

private:
    // Plain hexadecimal sizes (no extensions), each chunk followed by its line end, then the last
    // chunk and an empty line.
    std::string chunks(std::string whole)
    {
        size_t at = 0;
        for (;;) {
            size_t lineEnd;
            while ((lineEnd = buffer_.find("\r\n", at)) == std::string::npos)
                if (!fill())
                    return {};
            std::string sizeLine = buffer_.substr(at, lineEnd - at);
            if (sizeLine.empty() || sizeLine.size() > 8
                || sizeLine.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return {};
            size_t size = std::stoul(sizeLine, nullptr, 16);
            while (buffer_.size() < lineEnd + 2 + size + 2)
                if (!fill())
                    return {};
            if (buffer_.compare(lineEnd + 2 + size, 2, "\r\n") != 0)
                return {};
            whole.append(buffer_, lineEnd + 2, size);
            at = lineEnd + 2 + size + 2;
            if (size == 0) {
                buffer_.erase(0, at);
                return whole;
            }
            if (at > (1u << 20)) {
                buffer_.erase(0, at);
                at = 0;
            }
        }
    }

    bool fill()
    {
        char chunk[65536];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer_.append(chunk, size_t(n));
        return true;
    }
    int fd_;
    bool connected_ = false;
    std::string buffer_;
};
