#pragma once

#include <atomic>
#include <string>
#include <sys/socket.h>
#include <thread>

// Connects one socket on a worker thread so that the caller can give up after its time limit.
// The worker waits on the socket and on a stop signal, so stopping it never races a close.
class TNetConnectThread {
public:
    TNetConnectThread(int socket, const sockaddr* address, socklen_t length);
    ~TNetConnectThread();
    TNetConnectThread(const TNetConnectThread&) = delete;
    TNetConnectThread& operator=(const TNetConnectThread&) = delete;

    bool Finished() const { return finished_.load(); }
    // Asks the worker to end and waits for it.
    void Stop();
    void Join();

    // Valid once the worker has finished: 0, or the errno of the failed connect.
    int Error() const { return error_; }

private:
    void run();

    int socket_;
    sockaddr_storage address_ {};
    socklen_t length_;
    int stopFd_ = -1;
    int error_ = 0;
    std::atomic<bool> finished_ { false };
    std::atomic<bool> stopRequested_ { false };
    std::thread thread_;
};

// The caller's side of a timed connect: the 125 ms steps, then the verdict on the worker.
void ConnectWithTimeout(int socket, const sockaddr* address, socklen_t length, int timeoutMs);
