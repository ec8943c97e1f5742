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

    bool Finished() const { return m_finished.load(); }
    // Asks the worker to end and waits for it.
    void Stop();
    void Join();

    // Valid once the worker has finished: 0, or the errno of the failed connect.
    int Error() const { return m_error; }

private:
    void run();

    int m_socket;
    sockaddr_storage m_address {};
    socklen_t m_length;
    int m_stopFd = -1;
    int m_error = 0;
    std::atomic<bool> m_finished { false };
    std::atomic<bool> m_stopRequested { false };
    std::thread m_thread;
};

// The caller's side of a timed connect: the 125 ms steps, then the verdict on the worker.
void ConnectWithTimeout(int socket, const sockaddr* address, socklen_t length, int timeoutMs);
