#pragma once

#include "settings/SnifferSettings.h"

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// A Sniffer.ini of the test's own, which the program reads instead of the one beside it.
class TempSettings {
public:
    explicit TempSettings(const std::string& text)
    {
        char tmpl[] = "/tmp/qtm-settings-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        path_ = tmpl;
        Write(text);
        SnifferSettings::SetSettingsPathForTesting(path_);
    }
    ~TempSettings()
    {
        // Only the settings file still in force is withdrawn: a newer one must not fall back to
        // the file beside the executable, whose default service is not on loopback.
        if (SnifferSettings::SettingsFilePath() == path_)
            SnifferSettings::SetSettingsPathForTesting("");
        std::remove(path_.c_str());
    }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary | std::ios::trunc) << text; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A loopback port with nothing listening: connects are refused at once.
inline int ClosedLoopbackPort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}
