#pragma once

#include <cstdint>
#include <string>

// Read-only access to an initialization file. Opening only remembers the path; every read
// opens, scans and closes the file, so nothing is kept open and nothing is ever written.
class TIniFile {
public:
    explicit TIniFile(std::string path)
        : path_(std::move(path))
    {
    }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
