#pragma once

#include "settings/IniFile.h"

#include <string>

// The keys of Sniffer.ini and where the file lives.
namespace SnifferSettings {

inline const char* const Section = "Settings";
inline const char* const DefaultService = "10.77.0.2";
constexpr int32_t DefaultBoldCharCount = 11;
constexpr int32_t DefaultLineCapacity = 10000000;

// The directory of the running executable, with its trailing separator, plus "Sniffer.ini".
std::string SettingsFilePath();

// Lets tests point the program at a settings file of their own; empty restores the real path.
void SetSettingsPathForTesting(const std::string& path);

inline TIniFile Open()
{
    return TIniFile(SettingsFilePath());
}

// Each setting as the monitor reads it, with its default. The file is read afresh every time, as
// a user may edit it while the monitor runs.
std::string SnifferService(const TIniFile& ini);
int32_t BoldCharCount(const TIniFile& ini);
// The name list's location; the service's own list when the file names none.
std::string IPSource(const TIniFile& ini, const std::string& serviceNameList);
int32_t LineCapacityInBit(const TIniFile& ini);
int32_t LineCapacityOutBit(const TIniFile& ini);

} // namespace SnifferSettings
