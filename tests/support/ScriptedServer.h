#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace qtm_test {

// One thing the server does on a connection, in order.
struct TStep {
    enum Kind { Send, SendBytewise, Pause, Close, HalfClose, Reset, WaitRequest };
    Kind kind;
    std::string bytes;
    int ms = 0;
};

inline TStep Send(std::string bytes)
{
    return { TStep::Send, std::move(bytes), 0 };
}
// One write per byte with a pause after each, so that every split of the text reaches the client.
inline TStep SendBytewise(std::string bytes, int pauseMs = 1)
{
    return { TStep::SendBytewise, std::move(bytes), pauseMs };
}
inline TStep Pause(int ms)
{
    return { TStep::Pause, {}, ms };
}
inline TStep Close()
{
    return { TStep::Close, {}, 0 };
}
// Shuts down the sending side and keeps reading until the client closes.
inline TStep HalfClose()
{
    return { TStep::HalfClose, {}, 0 };
}
// Closes with a reset instead of an orderly close.
inline TStep Reset()
{
    return { TStep::Reset, {}, 0 };
}
// Reads one request head (up to the empty line) and records it.
inline TStep WaitRequest()
{
    return { TStep::WaitRequest, {}, 0 };
}

using TScript = std::vector<TStep>;

// A loopback server on 127.0.0.1 and a port of its own choosing that plays one script per accepted
// connection and records the requests it reads. A script that ends without a close keeps the
// connection open until the client closes it. Connections beyond the queued scripts get the
// repeating script, or are closed at once when there is none.
class TScriptedServer {
public:
    struct TLSFiles {
        std::string certificateFile, keyFile;
    };

    explicit TScriptedServer(int backlog = 16);
    // A server that speaks TLS on every connection with this certificate and key.
    explicit TScriptedServer(const TLSFiles& tls, int backlog = 16);
    ~TScriptedServer();
    TScriptedServer(const TScriptedServer&) = delete;
    TScriptedServer& operator=(const TScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    void AddConnection(TScript script);
    void SetRepeatingScript(TScript script);

    // Request heads in the order read, exactly as received, the empty line included.
    std::vector<std::string> Requests() const;
    // The request heads of each accepted connection, by order of acceptance.
    std::vector<std::vector<std::string>> RequestsByConnection() const;
    int AcceptedCount() const;
    bool WaitForRequests(size_t count, int timeoutMs) const;

    void Stop();

private:
    struct Connection;
    void start(int backlog);
    void acceptLoop();
    void runConnection(std::shared_ptr<Connection> connection, TScript script, size_t index);

    int listenFd_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    SSL_CTX* tls_ = nullptr;
    std::atomic<bool> stopping_ { false };
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::deque<TScript> scripts_;
    TScript repeating_;
    std::vector<std::string> requests_;
    std::vector<std::vector<std::string>> byConnection_;
    std::thread acceptThread_;
    std::vector<std::thread> connectionThreads_;
};

// Writes a self-signed certificate and its key (PEM) for commonName, valid from daysFrom to daysTo
// relative to now (negative days lie in the past, so -2..-1 gives an expired certificate).
void MakeSelfSignedCertificate(const std::string& commonName, int daysFrom, int daysTo,
    const std::string& certificateFile, const std::string& keyFile);

} // namespace qtm_test
