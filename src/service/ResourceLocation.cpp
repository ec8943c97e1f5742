#include "service/ResourceLocation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr off_t MaxFileSize = 64 * 1024 * 1024;

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
        if (c != prefix[i])
            return false;
    }
    return true;
}
} // namespace

bool IsHttpLocation(std::string_view location)
{
    return startsWithIgnoreCase(location, "http:") || startsWithIgnoreCase(location, "https:");
}

bool IsHttpsLocation(std::string_view location)
{
    return startsWithIgnoreCase(location, "https:");
}

bool ReadSharedFile(const std::string& path, std::string& content)
{
    if (path.empty())
        return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st { };
    bool ok
        = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxFileSize && flock(fd, LOCK_SH | LOCK_NB) == 0;
    if (ok) {
        content.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < content.size()) {
            ssize_t n = read(fd, &content[got], content.size() - got);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0)
                break;
            got += size_t(n);
        }
        content.resize(got);
    }
    close(fd);
    return ok;
}
