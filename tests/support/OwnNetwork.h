#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// Moves the calling process into a network namespace of its own with its loopback up, so that a
// capture sees only the traffic the caller makes and nothing can leave the machine. Without root, a
// user namespace of our own grants the rights; being root inside it lets a service started from
// here keep them. Returns what went wrong, or an empty text.
inline std::string EnterOwnNetwork()
{
    auto writeFile = [](const char* path, const std::string& text) {
        int fd = open(path, O_WRONLY);
        if (fd < 0)
            return false;
        bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
        close(fd);
        return ok;
    };
    if (unshare(CLONE_NEWNET) != 0) {
        std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        writeFile("/proc/self/setgroups", "deny");
        if (!writeFile("/proc/self/uid_map", "0 " + uid + " 1") || !writeFile("/proc/self/gid_map", "0 " + gid + " 1"))
            return "cannot map the user into its namespace";
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq r {};
    std::strcpy(r.ifr_name, "lo");
    bool up = ioctl(fd, SIOCGIFFLAGS, &r) == 0;
    r.ifr_flags |= IFF_UP;
    up = up && ioctl(fd, SIOCSIFFLAGS, &r) == 0;
    close(fd);
    return up ? "" : std::string("bringing up lo: ") + std::strerror(errno);
}
