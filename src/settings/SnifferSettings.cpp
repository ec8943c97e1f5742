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

std::string SnifferSettings::SnifferService(const TIniFile& ini)
{
    return ini.ReadString(Section, "SnifferService", DefaultService);
}

int32_t SnifferSettings::BoldCharCount(const TIniFile& ini)
{
    return ini.ReadInteger(Section, "BoldCharCount", DefaultBoldCharCount);
}

std::string SnifferSettings::IPSource(const TIniFile& ini, const std::string& serviceNameList)
{
    return ini.ReadString(Section, "IPSource", serviceNameList);
}

int32_t SnifferSettings::LineCapacityInBit(const TIniFile& ini)
{
    return ini.ReadInteger(Section, "LineCapacityInBit", DefaultLineCapacity);
}

int32_t SnifferSettings::LineCapacityOutBit(const TIniFile& ini)
{
    return ini.ReadInteger(Section, "LineCapacityOutBit", DefaultLineCapacity);
}
