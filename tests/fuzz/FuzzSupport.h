#pragma once

#include "net/NetIOHandler.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace qtm_fuzz {

// A transport that plays fixed bytes as the server's side of a connection and then closes, so the
// client's readers run on outside bytes with no socket at all. The bytes arrive in pieces of
// varying size, as a network splits them, so a reader cannot depend on whole lines arriving.
class TMemoryTransport : public TNetIOHandler {
public:
    explicit TMemoryTransport(std::string_view bytes)
        : bytes_(bytes)
    {
    }

    void Close() override { connected_ = false; }
    void ConnectClient(const std::string&, int, const std::string&, int, int) override { connected_ = true; }
    bool Connected() const override { return connected_; }
    void Open() override { }
    // Always ready: either bytes or the close are waiting.
    bool Readable(int) override { return true; }
    long Recv(char* buffer, size_t length) override
    {
        if (!connected_) {
            lastErrno_ = ENOTCONN;
            return -1;
        }
        if (pos_ >= bytes_.size())
            return 0;
        static constexpr size_t pieces[] = { 1, 7, 300, 2, 4096, 13, 65536 };
        size_t n = std::min({ length, bytes_.size() - pos_, pieces[step_++ % std::size(pieces)] });
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return long(n);
    }
    long Send(const char*, size_t length) override
    {
        if (!connected_) {
            lastErrno_ = EPIPE;
            return -1;
        }
        return long(length);
    }
    bool Writable(int) override { return true; }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
    size_t step_ = 0;
    bool connected_ = false;
};

// A file in memory with a path, for readers that only take a path (the settings file, capture
// files). Nothing touches the disk.
class TMemoryFile {
public:
    explicit TMemoryFile(std::string_view bytes)
    {
        fd_ = memfd_create("qtm-fuzz", 0);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                std::perror("write");
                std::abort();
            }
            done += size_t(n);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~TMemoryFile() { close(fd_); }
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

inline std::string_view AsText(const uint8_t* data, size_t size)
{
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A fault a sanitizer cannot see: a result that breaks what the reader promises.
[[noreturn]] inline void BrokenPromise(const char* what)
{
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

} // namespace qtm_fuzz
