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
        : m_bytes(bytes)
    {
    }

    void Close() override { m_connected = false; }
    void ConnectClient(const std::string&, int, const std::string&, int, int) override { m_connected = true; }
    bool Connected() const override { return m_connected; }
    void Open() override { }
    // Always ready: either bytes or the close are waiting.
    bool Readable(int) override { return true; }
    long Recv(char* buffer, size_t length) override
    {
        if (!m_connected) {
            m_lastErrno = ENOTCONN;
            return -1;
        }
        if (m_pos >= m_bytes.size())
            return 0;
        static constexpr size_t pieces[] = { 1, 7, 300, 2, 4096, 13, 65536 };
        size_t n = std::min({ length, m_bytes.size() - m_pos, pieces[m_step++ % std::size(pieces)] });
        std::memcpy(buffer, m_bytes.data() + m_pos, n);
        m_pos += n;
        return long(n);
    }
    long Send(const char*, size_t length) override
    {
        if (!m_connected) {
            m_lastErrno = EPIPE;
            return -1;
        }
        return long(length);
    }
    bool Writable(int) override { return true; }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
    size_t m_step = 0;
    bool m_connected = false;
};

// A file in memory with a path, for readers that only take a path (the settings file, capture
// files). Nothing touches the disk.
class TMemoryFile {
public:
    explicit TMemoryFile(std::string_view bytes)
    {
        m_fd = memfd_create("qtm-fuzz", 0);
        if (m_fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                std::perror("write");
                std::abort();
            }
            done += size_t(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~TMemoryFile() { close(m_fd); }
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
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
