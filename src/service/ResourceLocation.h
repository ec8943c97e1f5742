#pragma once

#include <string>
#include <string_view>

// A location is fetched over HTTP when it begins with "http:" or "https:" in any letter case;
// anything else is a file path (a folder named "httpd" is still a folder).
bool IsHttpLocation(std::string_view location);
bool IsHttpsLocation(std::string_view location);

// Reads a whole file while holding a shared lock, so no writer changes it under us.
// False when it cannot be opened or read, or is larger than a name list can sensibly be.
bool ReadSharedFile(const std::string& path, std::string& content);
