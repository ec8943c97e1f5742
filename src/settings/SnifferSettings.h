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

} // namespace SnifferSettings
