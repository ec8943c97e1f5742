#pragma once

#include "HostAddress.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// The names served on "/ip". Filled at start from a names file or /etc/hosts, and later by the
// optional reverse lookups; read by the HTTP threads, hence the lock.
class NameDirectory {
public:
    static constexpr size_t MaxNames = 262144;
    static constexpr size_t MaxNameLength = 63;

    // "address=name" lines; blank lines and lines starting with "#" are skipped. Raises Exception
    // when the file cannot be read; malformed lines are skipped and counted.
    size_t loadNamesFile(const std::string& path);
    // The entries of a hosts file whose address lies in the local networks; a missing file adds none.
    size_t loadHostsFile(const std::string& path, const NetworkList& networks);
    size_t loadNamesText(std::string_view text);
    size_t loadHostsText(std::string_view text, const NetworkList& networks);

    void set(const HostAddress& address, std::string_view name);
    bool contains(const HostAddress& address) const;
    std::map<HostAddress, std::string> copy() const;
    size_t skippedLines() const { return skipped_; }

    // A name fit for an "address=name" line: no control characters, nothing from a "<" or "="
    // on (the monitor would cut there anyway), no outer blanks, at most MaxNameLength characters.
    static std::string Clean(std::string_view name);

private:
    mutable std::mutex mutex_;
    std::map<HostAddress, std::string> names_;
    size_t skipped_ = 0;
};

// Reads a whole text file of at most maxBytes; raises Exception with the system's reason.
std::string ReadTextFile(const std::string& path, size_t maxBytes);
