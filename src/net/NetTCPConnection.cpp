#include "net/NetTCPConnection.h"

#include "net/NetExceptions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// A receive straight into a body takes up to this much: a few system calls per megabyte instead
// of thirty-two. Receives into the input buffer, where lines are read, keep RecvBufferSize.
constexpr size_t kDirectReceive = size_t(256) << 10;

// A large body is received into memory nothing has touched yet, where a page fault every 4 KB
// costs more than receiving the bytes. Its pages are mapped a few megabytes ahead of the bytes,
// one system call a step, and a very large one is asked for huge pages. Only memory the body's
// announced length has reserved is touched, and only as the body arrives.
class TBodyPrefault {
public:
    TBodyPrefault(std::string& sink, size_t target)
        : sink_(sink)
        , target_(target)
        , enabled_(target - sink.size() >= kFrom)
    {
#ifdef MADV_HUGEPAGE
        // The allocator maps blocks this large on their own, so the advice ends with the block and
        // never reaches memory it hands out later.
        if (target - sink.size() >= kHugeFrom) {
            const uintptr_t base = reinterpret_cast<uintptr_t>(sink.data());
            const uintptr_t begin = (base + sink.size() + kHugePage - 1) & ~(kHugePage - 1);
            const uintptr_t end = (base + target) & ~(kHugePage - 1);
            if (end > begin)
                ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
        }
#endif
    }

    // Before bytes are received at the sink's end.
    void Ahead()
    {
#ifdef MADV_POPULATE_WRITE
        if (!enabled_ || sink_.size() < ready_)
            return;
        static const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
        const uintptr_t base = reinterpret_cast<uintptr_t>(sink_.data());
        const uintptr_t begin = (base + sink_.size()) & ~(page - 1);
        ready_ = std::min(target_, sink_.size() + kStep);
        const uintptr_t end = (base + ready_) & ~(page - 1);
        // An older kernel answers EINVAL, and the pages are faulted one by one as before.
        if (end > begin)
            ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
    }

private:
    static constexpr size_t kFrom = size_t(4) << 20;
    static constexpr size_t kStep = size_t(4) << 20;
    static constexpr size_t kHugeFrom = size_t(32) << 20;
    static constexpr uintptr_t kHugePage = uintptr_t(2) << 20;

    std::string& sink_;
    size_t target_;
    bool enabled_;
    size_t ready_ = 0;
};
} // namespace

TNetTCPConnection::TNetTCPConnection()
    : lastActivity_(std::chrono::system_clock::now())
{
}

TNetTCPConnection::~TNetTCPConnection()
{
    if (ioHandler_ && ioHandler_->Connected())
        ioHandler_->Close();
    delete ioHandler_;
}

void TNetTCPConnection::createOwnIOHandler()
{
    ioHandler_ = new TNetIOHandlerSocket;
    ownsIOHandler_ = true;
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler)
{
    if (handler == ioHandler_)
        return;
    if (transportConnected())
        Disconnect();
    delete ioHandler_;
    ioHandler_ = handler;
    ownsIOHandler_ = false;
    if (ioHandler_)
        ioHandler_->SetDeadline(deadline_);
}

void TNetTCPConnection::SetDeadline(std::optional<TNetClock::time_point> deadline)
{
    deadline_ = deadline;
    if (ioHandler_)
        ioHandler_->SetDeadline(deadline);
}

void TNetTCPConnection::ResetConnection()
{
    in_.clear();
    inHead_ = 0;
    scanPos_ = 0;
    closedGracefully_ = false;
}

void TNetTCPConnection::CloseSocket()
{
    if (transportConnected())
        ioHandler_->Close();
}

void TNetTCPConnection::CheckForDisconnect(bool raiseIfDisconnected, bool ignoreBuffer)
{
    bool disconnected = false;
    if (closedGracefully_) {
        if (transportConnected()) {
            ioHandler_->Close();
            DoOnDisconnected();
        }
        disconnected = true;
    } else if (ioHandler_) {
        disconnected = !ioHandler_->Connected();
    }
    if (disconnected && raiseIfDisconnected && (InputBufferSize() == 0 || ignoreBuffer))
        throw ENetConnClosedGracefully();
}

bool TNetTCPConnection::Connected()
{
    CheckForDisconnect(false);
    return transportConnected();
}

void TNetTCPConnection::CheckForGracefulDisconnect(int timeoutMs)
{
    if (!transportConnected())
        return;
    try {
        ReadFromStack(false, timeoutMs, false);
    } catch (const ENetSocketError&) {
        // A reset between requests: the connection is gone, and the next request connects anew.
        CloseSocket();
    }
    CheckForDisconnect(false);
}

void TNetTCPConnection::Disconnect()
{
    bool wasConnected = Connected();
    if (wasConnected)
        CloseSocket();
    if (ownsIOHandler_) {
        delete ioHandler_;
        ioHandler_ = nullptr;
        ownsIOHandler_ = false;
    }
    if (wasConnected)
        DoOnDisconnected();
}

int TNetTCPConnection::waitBudget(std::optional<TNetClock::time_point> end) const
{
    std::optional<TNetClock::time_point> limit = end;
    if (deadline_ && (!limit || *deadline_ < *limit))
        limit = deadline_;
    if (!limit)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*limit - TNetClock::now()).count();
    return left < 0 ? 0 : int(left);
}

void TNetTCPConnection::raiseReadTimeout()
{
    throw ENetReadTimeout("Read Timeout, last activity " + LongTimeText(lastActivity_));
}

void TNetTCPConnection::compactInput()
{
    if (inHead_ == in_.size()) {
        in_.clear();
        scanPos_ = 0;
        inHead_ = 0;
    } else if (inHead_ > 65536 && inHead_ * 2 > in_.size()) {
        in_.erase(0, inHead_);
        scanPos_ -= std::min(scanPos_, inHead_);
        inHead_ = 0;
    }
}

int TNetTCPConnection::ReadFromStack(bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout)
{
    return receiveStep(raiseIfDisconnected, timeoutMs, raiseOnTimeout, nullptr, 0);
}

int TNetTCPConnection::receiveStep(
    bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout, std::string* direct, size_t directMax)
{
    lastActivity_ = std::chrono::system_clock::now();
    if (timeoutMs == -1)
        timeoutMs = ReadTimeout > 0 ? ReadTimeout : -1;
    std::optional<TNetClock::time_point> end;
    if (timeoutMs >= 0)
        end = TNetClock::now() + std::chrono::milliseconds(timeoutMs);

    CheckForDisconnect(raiseIfDisconnected);
    if (!transportConnected()) {
        if (raiseIfDisconnected)
            throw ENetNotConnected();
        return 0;
    }
    size_t want = size_t(std::max(1, RecvBufferSize));
    if (recvScratchSize_ != want) {
        recvScratch_ = std::make_unique<char[]>(want);
        recvScratchSize_ = want;
    }
    long count = 0;
    // Receive first and wait only when nothing is there: a stream in full flow is never asked
    // whether it is readable, which would double the system calls of every receive.
    bool waited = false;
    do {
        if (waited && !ioHandler_->Readable(waitBudget(end))) {
            if (raiseOnTimeout)
                raiseReadTimeout();
            return -1;
        }
        size_t directStart = 0;
        if (direct) {
            directStart = direct->size();
            direct->resize(directStart + directMax);
            count = ioHandler_->Recv(&(*direct)[directStart], directMax);
            direct->resize(directStart + size_t(std::max(0L, count)));
        } else {
            count = ioHandler_->Recv(recvScratch_.get(), want);
        }
        if (count == TNetIOHandler::kWouldBlock) {
            // Nothing yet, or readable with nothing for us (a TLS record that carries no data): wait.
            count = -1;
            if (!waited) {
                waited = true;
                continue;
            }
            if (waitBudget(end) == 0) {
                if (raiseOnTimeout)
                    raiseReadTimeout();
                return -1;
            }
            continue;
        }
        if (count == 0) {
            closedGracefully_ = true;
        } else if (count < 0) {
            int code = SocketErrorCodeFromErrno(ioHandler_->LastErrno());
            if (code == 10058 || code == 10053) {
                CloseSocket();
                if (InputBufferSize() == 0)
                    throw ENetSocketError(code);
            } else {
                throw ENetSocketError(code);
            }
        } else if (!direct) {
            compactInput();
            in_.append(recvScratch_.get(), size_t(count));
        }
        CheckForDisconnect(raiseIfDisconnected);
    } while (count < 0 && transportConnected());
    return int(count);
}

std::string TNetTCPConnection::takeOverlongLine(size_t maxLen)
{
    if (MaxLineAction == maException)
        throw ENetReadLnMaxLineLengthExceeded();
    std::string part = in_.substr(inHead_, maxLen);
    inHead_ += maxLen;
    scanPos_ = inHead_;
    return part;
}

std::string TNetTCPConnection::ReadLn()
{
    for (;;) {
        size_t from = std::max(scanPos_, inHead_);
        const char* base = in_.data();
        const void* lf = from < in_.size() ? std::memchr(base + from, '\n', in_.size() - from) : nullptr;
        size_t maxLen = size_t(std::max(0, MaxLineLength));
        if (lf) {
            size_t pos = size_t(static_cast<const char*>(lf) - base);
            size_t length = pos - inHead_;
            if (length > maxLen)
                return takeOverlongLine(maxLen);
            std::string line = in_.substr(inHead_, length);
            inHead_ = pos + 1;
            scanPos_ = inHead_;
            compactInput();
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (InputBufferSize() > maxLen)
            return takeOverlongLine(maxLen);
        scanPos_ = in_.size();
        // A close now fails even with part of a line buffered: a cut line is never a line.
        CheckForDisconnect(true, true);
        ReadFromStack(true, -1, true);
    }
}

void TNetTCPConnection::moveToSink(std::string& sink, size_t count)
{
    size_t n = std::min(count, InputBufferSize());
    sink.append(in_, inHead_, n);
    inHead_ += n;
    scanPos_ = std::max(scanPos_, inHead_);
    compactInput();
}

void TNetTCPConnection::ReadBytes(std::string& sink, size_t count)
{
    size_t target = sink.size() + count;
    sink.reserve(target);
    moveToSink(sink, count);
    TBodyPrefault prefault(sink, target);
    try {
        while (sink.size() < target && Connected()) {
            const size_t recvSize = size_t(std::max(1, RecvBufferSize));
            size_t want = std::min(target - sink.size(), recvSize);
            if (InputBufferSize() == 0) {
                // Nothing buffered: let the bytes go straight into the sink, never past the count.
                prefault.Ahead();
                receiveStep(true, -1, true, &sink, std::min(target - sink.size(), std::max(recvSize, kDirectReceive)));
                CheckForDisconnect(true, true);
                continue;
            }
            while (InputBufferSize() < want) {
                ReadFromStack(true, -1, true);
                CheckForDisconnect(true, true);
            }
            moveToSink(sink, want);
        }
    } catch (const ENetException&) {
        moveToSink(sink, target - sink.size());
        throw;
    }
    if (sink.size() < target)
        throw ENetConnClosedGracefully();
}

void TNetTCPConnection::ReadUntilClose(std::string& sink, size_t maxBytes)
{
    size_t start = sink.size();
    auto take = [&] {
        if (sink.size() - start + InputBufferSize() > maxBytes)
            throw ENetHTTPBodyTooLarge((long long)maxBytes);
        moveToSink(sink, InputBufferSize());
    };
    take();
    try {
        const size_t recvSize = std::max(size_t(std::max(1, RecvBufferSize)), kDirectReceive);
        while (Connected()) {
            // One byte past the cap is enough to know it is crossed.
            const size_t left = maxBytes - (sink.size() - start);
            receiveStep(true, -1, true, &sink, left < recvSize ? left + 1 : recvSize);
            if (sink.size() - start > maxBytes)
                throw ENetHTTPBodyTooLarge((long long)maxBytes);
            CheckForDisconnect(true, true);
        }
    } catch (const ENetConnClosedGracefully&) {
        take();
    }
}

bool TNetTCPConnection::ReadSome(std::string& sink, size_t maxBytes)
{
    if (InputBufferSize() > 0) {
        moveToSink(sink, maxBytes);
        return true;
    }
    try {
        if (!Connected())
            return false;
        int count = receiveStep(true, -1, true, &sink, std::max<size_t>(1, maxBytes));
        return count > 0 || transportConnected();
    } catch (const ENetConnClosedGracefully&) {
        return InputBufferSize() > 0;
    }
}

void TNetTCPConnection::OpenWriteBuffer()
{
    writeBuffer_ = std::make_unique<std::string>();
}

void TNetTCPConnection::CloseWriteBuffer()
{
    if (!writeBuffer_)
        return;
    std::unique_ptr<std::string> buffer = std::move(writeBuffer_);
    sendBytes(buffer->data(), buffer->size());
}

void TNetTCPConnection::CancelWriteBuffer()
{
    writeBuffer_.reset();
}

void TNetTCPConnection::Write(const std::string& text)
{
    if (writeBuffer_)
        writeBuffer_->append(text);
    else
        sendBytes(text.data(), text.size());
}

void TNetTCPConnection::WriteLn(const std::string& text)
{
    Write(text + "\r\n");
}

void TNetTCPConnection::sendBytes(const char* data, size_t length)
{
    lastActivity_ = std::chrono::system_clock::now();
    CheckForDisconnect(true, true);
    if (!transportConnected())
        throw ENetNotConnected();
    std::optional<TNetClock::time_point> end;
    if (ReadTimeout > 0)
        end = TNetClock::now() + std::chrono::milliseconds(ReadTimeout);
    size_t sent = 0;
    while (sent < length) {
        long n = ioHandler_->Send(data + sent, length - sent);
        if (n == TNetIOHandler::kWouldBlock) {
            if (!ioHandler_->Writable(waitBudget(end)))
                raiseReadTimeout();
            continue;
        }
        if (n < 0) {
            int code = SocketErrorCodeFromErrno(ioHandler_->LastErrno());
            if (code == 10058 || code == 10053 || code == 10054)
                CloseSocket();
            throw ENetSocketError(code);
        }
        sent += size_t(n);
    }
}
