#pragma once

#include "net/NetIOHandler.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class TNetBaseComponent {
public:
    virtual ~TNetBaseComponent() = default;
};

class TNetComponent : public TNetBaseComponent { };

enum TNetMaxLineAction { maException, maSplit };

// One TCP connection: an input buffer fed by receive steps, lines and runs of bytes taken from
// it, buffered writes, and the notice of the server closing.
class TNetTCPConnection : public TNetComponent {
public:
    TNetTCPConnection();
    ~TNetTCPConnection() override;
    TNetTCPConnection(const TNetTCPConnection&) = delete;
    TNetTCPConnection& operator=(const TNetTCPConnection&) = delete;

    virtual void DoOnDisconnected() { }
    virtual void ResetConnection();
    virtual void CheckForDisconnect(bool raiseIfDisconnected = true, bool ignoreBuffer = false);
    // One receive step that raises nothing: notices a close, keeps any bytes for the next read.
    virtual void CheckForGracefulDisconnect(int timeoutMs = 1);
    virtual bool Connected();
    virtual void Disconnect();
    virtual void CloseSocket();
    virtual int ReadFromStack(bool raiseIfDisconnected = true, int timeoutMs = -1, bool raiseOnTimeout = true);
    virtual std::string ReadLn();
    virtual void Write(const std::string& text);
    virtual void WriteLn(const std::string& text = "");

    // Appends exactly count bytes to the sink; a close before then fails.
    void ReadBytes(std::string& sink, size_t count);
    // Appends everything up to the server's close; more than maxBytes fails.
    void ReadUntilClose(std::string& sink, size_t maxBytes);
    // Appends at most maxBytes: what is buffered, else what one receive brings. False once the
    // server has closed and nothing is left to read.
    bool ReadSome(std::string& sink, size_t maxBytes);

    void OpenWriteBuffer();
    void CloseWriteBuffer();
    void CancelWriteBuffer();

    TNetIOHandler* IOHandler() const { return ioHandler_; }
    // Attaches a transport from outside; the connection frees it when it is destroyed.
    void SetIOHandler(TNetIOHandler* handler);

    // The end of the current exchange: no wait for the peer goes past it.
    void SetDeadline(std::optional<TNetClock::time_point> deadline);
    std::optional<TNetClock::time_point> Deadline() const { return deadline_; }

    size_t InputBufferSize() const { return in_.size() - inHead_; }
    bool ClosedGracefully() const { return closedGracefully_; }

    std::string BoundIP;
    int BoundPort = 0;
    int ReadTimeout = 0;
    int RecvBufferSize = 32768;
    int MaxLineLength = 16384;
    TNetMaxLineAction MaxLineAction = maException;

protected:
    // The transport is created here on demand and freed at every disconnect.
    void createOwnIOHandler();
    bool transportConnected() const { return ioHandler_ && ioHandler_->Connected(); }

private:
    // The receive step; with direct set, up to directMax bytes go to its end instead of the input buffer.
    int receiveStep(
        bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout, std::string* direct, size_t directMax);
    void sendBytes(const char* data, size_t length);
    void moveToSink(std::string& sink, size_t count);
    void compactInput();
    // A line longer than maxLen: fails, or hands out its first maxLen bytes, as MaxLineAction says.
    std::string takeOverlongLine(size_t maxLen);
    [[noreturn]] void raiseReadTimeout();
    // Milliseconds a wait may take under ReadTimeout-like limit ms (0: none) and the deadline;
    // sets deadlineBound when the deadline is the nearer one.
    int waitBudget(std::optional<TNetClock::time_point> end) const;

    TNetIOHandler* ioHandler_ = nullptr;
    bool ownsIOHandler_ = false;
    std::string in_;
    size_t inHead_ = 0;
    size_t scanPos_ = 0;
    bool closedGracefully_ = false;
    std::chrono::system_clock::time_point lastActivity_;
    std::unique_ptr<std::string> writeBuffer_;
    std::optional<TNetClock::time_point> deadline_;
    std::unique_ptr<char[]> recvScratch_;
    size_t recvScratchSize_ = 0;
};
