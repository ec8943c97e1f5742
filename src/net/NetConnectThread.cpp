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
    : m_socket(socket)
    , m_length(length)
{
    std::memcpy(&m_address, address, length);
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0)
        ENetSocketError::RaiseErrno(errno);
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        // No worker means no connect: a failure of the connect itself, not of the socket.
        ::close(m_stopFd);
        throw ENetConnectException(std::string("Connect failed: ") + e.what());
    }
}

TNetConnectThread::~TNetConnectThread()
{
    Stop();
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

void TNetConnectThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stopRequested = true;
    uint64_t one = 1;
    while (::write(m_stopFd, &one, sizeof one) < 0 && errno == EINTR) { }
    m_thread.join();
}

void TNetConnectThread::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TNetConnectThread::run()
{
    int rc = ::connect(m_socket, reinterpret_cast<const sockaddr*>(&m_address), m_length);
    int err = rc == 0 ? 0 : errno;
    if (err == EINPROGRESS || err == EINTR) {
        pollfd fds[2] = { { m_socket, POLLOUT, 0 }, { m_stopFd, POLLIN, 0 } };
        for (;;) {
            int n = ::poll(fds, 2, -1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                err = errno;
                break;
            }
            if (fds[1].revents || m_stopRequested) {
                // Stopped by the caller: it reports the time-out, not us.
                err = 0;
                break;
            }
            if (fds[0].revents) {
                socklen_t len = sizeof err;
                if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
                    err = errno;
                break;
            }
        }
    }
    // A socket closed under the worker is the caller's business, not a failure of the connect.
    if (err == EBADF || err == ENOTSOCK)
        err = 0;
    m_error = err;
    m_finished = true;
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
