#include "net/NetConnectThread.h"

#include "net/NetExceptions.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

TNetConnectThread::TNetConnectThread(int socket, const sockaddr* address, socklen_t length)
    : socket_(socket)
    , length_(length)
{
    std::memcpy(&address_, address, length);
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    if (stopFd_ < 0)
        ENetSocketError::RaiseErrno(errno);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        // No worker means no connect: a failure of the connect itself, not of the socket.
        ::close(stopFd_);
        throw ENetConnectException(std::string("Connect failed: ") + e.what());
    }
}

TNetConnectThread::~TNetConnectThread()
{
    Stop();
    if (stopFd_ >= 0)
        ::close(stopFd_);
}

void TNetConnectThread::Stop()
{
    if (!thread_.joinable())
        return;
    stopRequested_ = true;
    uint64_t one = 1;
    while (::write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) { }
    thread_.join();
}

void TNetConnectThread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void TNetConnectThread::run()
{
    int rc = ::connect(socket_, reinterpret_cast<const sockaddr*>(&address_), length_);
    int err = rc == 0 ? 0 : errno;
    if (err == EINPROGRESS || err == EINTR) {
        pollfd fds[2] = { { socket_, POLLOUT, 0 }, { stopFd_, POLLIN, 0 } };
        for (;;) {
            int n = ::poll(fds, 2, -1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                err = errno;
                break;
            }
            if (fds[1].revents || stopRequested_) {
                // Stopped by the caller: it reports the time-out, not us.
                err = 0;
                break;
            }
            if (fds[0].revents) {
                socklen_t len = sizeof err;
                if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
                    err = errno;
                break;
            }
        }
    }
    // A socket closed under the worker is the caller's business, not a failure of the connect.
    if (err == EBADF || err == ENOTSOCK)
        err = 0;
    error_ = err;
    finished_ = true;
}

void ConnectWithTimeout(int socket, const sockaddr* address, socklen_t length, int timeoutMs)
{
    TNetConnectThread worker(socket, address, length);
    // The worker is looked at only every 125 ms, so even a refused connect takes that long.
    int remaining = timeoutMs;
    while (125 < remaining) {
        std::this_thread::sleep_for(std::chrono::milliseconds(125));
        remaining -= 125;
        if (worker.Finished()) {
            remaining = 0;
            break;
        }
    }
    if (remaining > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(remaining));
    if (!worker.Finished()) {
        worker.Stop();
        throw ENetConnectTimeout();
    }
    worker.Join();
    if (worker.Error() != 0)
        ENetSocketError::RaiseErrno(worker.Error());
}
