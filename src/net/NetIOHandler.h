#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

using TNetClock = std::chrono::steady_clock;

// The socket a transport holds while it is open, with both ends' addresses once connected.
class TNetSocketHandle {
public:
    int Handle = -1;
    bool HandleAllocated() const { return Handle >= 0; }
    std::string IP, PeerIP;
    int Port = 0, PeerPort = 0;
};

enum TNetSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };

// Proxy settings of a transport; never set to a proxy here, so connections go straight to the host.
struct TNetSocksInfo {
    TNetSocksVersion Version = svNoSocks;
    std::string Host, Username, Password;
    int Port = 1080;
};

// Where a transport carries the connection's bytes. Receive and send never block: they answer
// kWouldBlock and the connection waits with Readable / Writable under its own bounds.
class TNetIOHandler {
public:
    static constexpr long kWouldBlock = -2;

    virtual ~TNetIOHandler() = default;
    virtual void AfterAccept() { }
    virtual void Close() = 0;
    virtual void ConnectClient(
        const std::string& host, int port, const std::string& boundIP, int boundPort, int timeoutMs)
        = 0;
    virtual bool Connected() const = 0;
    virtual void Open() = 0;
    // Waits at most timeoutMs (-1: without limit) until a receive would find something.
    virtual bool Readable(int timeoutMs) = 0;
    // Bytes received (> 0), 0 when the peer has closed, kWouldBlock, or -1 with LastErrno().
    virtual long Recv(char* buffer, size_t length) = 0;
    // Bytes sent (> 0), kWouldBlock, or -1 with LastErrno().
    virtual long Send(const char* buffer, size_t length) = 0;
    // Waits at most timeoutMs until a send can make progress.
    virtual bool Writable(int timeoutMs) = 0;
    int LastErrno() const { return lastErrno_; }

    // The latest moment an exchange allows for the transport's own waits (a TLS handshake).
    void SetDeadline(std::optional<TNetClock::time_point> deadline) { deadline_ = deadline; }
    std::optional<TNetClock::time_point> Deadline() const { return deadline_; }
    // The connection's limit for one wait for incoming bytes (0: none), which the transport's own
    // waits keep too.
    void SetReadTimeout(int ms) { readTimeout_ = ms; }
    int ReadTimeout() const { return readTimeout_; }

protected:
    int lastErrno_ = 0;
    std::optional<TNetClock::time_point> deadline_;
    int readTimeout_ = 0;
};

// The plain socket transport: an IPv4 stream socket, connected with or without a time limit.
class TNetIOHandlerSocket : public TNetIOHandler {
public:
    TNetIOHandlerSocket();
    ~TNetIOHandlerSocket() override;

    void Close() override;
    void ConnectClient(
        const std::string& host, int port, const std::string& boundIP, int boundPort, int timeoutMs) override;
    bool Connected() const override;
    void Open() override;
    bool Readable(int timeoutMs) override;
    long Recv(char* buffer, size_t length) override;
    long Send(const char* buffer, size_t length) override;
    bool Writable(int timeoutMs) override;

    TNetSocketHandle* Binding() const { return binding_.get(); }
    TNetSocksInfo& SocksInfo();

    bool UseNagle = true;

protected:
    // Both waits of the socket: events as poll() names them; false when the time ran out.
    bool waitFor(short events, int timeoutMs);
    void closeHandle();

private:
    // Recv and Send alike: call does one system call on the handle; retried when interrupted.
    template <typename Call> long transfer(Call&& call);

    std::unique_ptr<TNetSocketHandle> binding_;
    std::unique_ptr<TNetSocksInfo> socksInfo_;
};

// Resolves a host as the connection does: LOCALHOST, dotted IPv4 unchanged, else the system lookup.
std::string ResolveHost(const std::string& host);
