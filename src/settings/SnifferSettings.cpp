#include "settings/SnifferSettings.h"

#include <climits>
#include <unistd.h>

namespace {
std::string& overridePath()
{
    static std::string path;
    return path;
}
} // namespace

std::string SnifferSettings::SettingsFilePath()
{
    if (!overridePath().empty())
        return overridePath();
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, size_t(n)) : std::string();
    size_t slash = exe.rfind('/');
    std::string dir = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    return dir + "Sniffer.ini";
}

void SnifferSettings::SetSettingsPathForTesting(const std::string& path)
{
    overridePath() = path;
}
