#pragma once

#include <string>

// The sniffer service's resources, on the address from the settings file.
namespace ServiceLocations {

inline std::string NameList(const std::string& address)
{
    return "http://" + address + "/ip";
}
inline std::string Snapshot(const std::string& address, bool fiveSecondAverage)
{
    return "http://" + address + (fiveSecondAverage ? "" : "/average/1");
}
inline std::string History(const std::string& address)
{
    return "http://" + address + "/history";
}

} // namespace ServiceLocations
