#include "net/NetIOHandler.h"

#include "net/NetConnectThread.h"
#include "net/NetExceptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int lookupErrorCode(int eai)
{
    switch (eai) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
    default:
        return 11004;
    }
}

std::string lookupErrorText(int code)
{
    switch (code) {
    case 11001:
        return "Host not found.";
    case 11002:
        return "Non-authoritative host not found.";
    case 11003:
        return "This is a non-recoverable error.";
    default:
        return "Valid name, no data record of requested type.";
    }
}

bool isDottedIPv4(const std::string& host)
{
    in_addr addr {};
    return inet_pton(AF_INET, host.c_str(), &addr) == 1;
}

void setNonBlocking(int fd)
{
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        ENetSocketError::RaiseErrno(errno);
}

void setBlocking(int fd)
{
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
        ENetSocketError::RaiseErrno(errno);
}
} // namespace

std::string ResolveHost(const std::string& host)
{
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0)
        return "127.0.0.1";
    if (isDottedIPv4(host))
        return host;
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || !result) {
        if (rc == EAI_SYSTEM)
            ENetSocketError::RaiseErrno(errno);
        int code = lookupErrorCode(rc);
        throw ENetSocketError(code, "Socket Error #" + std::to_string(code) + ", " + lookupErrorText(code));
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr, text, sizeof text);
    freeaddrinfo(result);
    return text;
}

TNetIOHandlerSocket::TNetIOHandlerSocket() = default;

TNetIOHandlerSocket::~TNetIOHandlerSocket()
{
    closeHandle();
}

TNetSocksInfo& TNetIOHandlerSocket::SocksInfo()
{
    if (!socksInfo_)
        socksInfo_ = std::make_unique<TNetSocksInfo>();
    return *socksInfo_;
}

void TNetIOHandlerSocket::Open()
{
    if (binding_)
        closeHandle();
    else
        binding_ = std::make_unique<TNetSocketHandle>();
    *binding_ = TNetSocketHandle();
}

void TNetIOHandlerSocket::closeHandle()
{
    if (binding_ && binding_->HandleAllocated()) {
        ::shutdown(binding_->Handle, SHUT_WR);
        ::close(binding_->Handle);
        binding_->Handle = -1;
    }
}

void TNetIOHandlerSocket::Close()
{
    closeHandle();
}

bool TNetIOHandlerSocket::Connected() const
{
    return binding_ && binding_->HandleAllocated();
}

void TNetIOHandlerSocket::ConnectClient(
    const std::string& host, int port, const std::string& boundIP, int boundPort, int timeoutMs)
{
    if (!binding_)
        Open();
    closeHandle();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ENetInvalidSocket();
    binding_->Handle = fd;

    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(uint16_t(boundPort));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!boundIP.empty() && inet_pton(AF_INET, boundIP.c_str(), &local.sin_addr) != 1)
        throw ENetCouldNotBindSocket();
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0)
        throw ENetCouldNotBindSocket();

    std::string ip = ResolveHost(host);
    sockaddr_in peer {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, ip.c_str(), &peer.sin_addr);

    int noDelay = UseNagle ? 0 : 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    if (timeoutMs != 0 && timeoutMs != -1) {
        setNonBlocking(fd);
        ConnectWithTimeout(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer, timeoutMs);
    } else {
        setBlocking(fd);
        int rc;
        do
            rc = ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
        while (rc < 0 && errno == EINTR);
        if (rc < 0)
            ENetSocketError::RaiseErrno(errno);
        setNonBlocking(fd);
    }

    sockaddr_in name {};
    socklen_t len = sizeof name;
    char text[INET_ADDRSTRLEN] = {};
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&name), &len) == 0) {
        inet_ntop(AF_INET, &name.sin_addr, text, sizeof text);
        binding_->IP = text;
        binding_->Port = ntohs(name.sin_port);
    }
    binding_->PeerIP = ip;
    binding_->PeerPort = port;
}

bool TNetIOHandlerSocket::waitFor(short events, int timeoutMs)
{
    if (!Connected())
        throw ENetConnClosedGracefully();
    auto end = TNetClock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - TNetClock::now()).count();
            wait = left < 0 ? 0 : int(left);
        }
        pollfd fd { binding_->Handle, events, 0 };
        int n = ::poll(&fd, 1, wait);
        if (n > 0)
            return true;
        if (n == 0)
            return false;
        if (errno != EINTR)
            ENetSocketError::RaiseErrno(errno);
    }
}

bool TNetIOHandlerSocket::Readable(int timeoutMs)
{
    return waitFor(POLLIN, timeoutMs);
}

bool TNetIOHandlerSocket::Writable(int timeoutMs)
{
    return waitFor(POLLOUT, timeoutMs);
}

template <typename Call> long TNetIOHandlerSocket::transfer(Call&& call)
{
    if (!Connected()) {
        lastErrno_ = ESHUTDOWN;
        return -1;
    }
    for (;;) {
        ssize_t n = call(binding_->Handle);
        if (n >= 0)
            return long(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kWouldBlock;
        lastErrno_ = errno;
        return -1;
    }
}

long TNetIOHandlerSocket::Recv(char* buffer, size_t length)
{
    return transfer([&](auto handle) { return ::recv(handle, buffer, length, 0); });
}

long TNetIOHandlerSocket::Send(const char* buffer, size_t length)
{
    // MSG_NOSIGNAL: a server that went away must give an error, not end the program.
    return transfer([&](auto handle) { return ::send(handle, buffer, length, MSG_NOSIGNAL); });
}
