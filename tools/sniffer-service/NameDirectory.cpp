#include "NameDirectory.h"

#include "base/Exception.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

template <typename Line> void forEachLine(std::string_view text, Line&& line)
{
    size_t start = 0;
    while (start < text.size()) {
        auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        line(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

std::string ReadTextFile(const std::string& path, size_t maxBytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Exception("cannot read " + path + ": " + std::strerror(errno));
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, size_t(in.gcount()));
        if (text.size() > maxBytes)
            throw Exception("cannot read " + path + ": larger than " + std::to_string(maxBytes) + " bytes");
    }
    if (in.bad())
        throw Exception("cannot read " + path + ": read error");
    return text;
}

std::string NameDirectory::Clean(std::string_view name)
{
    auto cut = name.find_first_of("<=");
    if (cut != std::string_view::npos)
        name = name.substr(0, cut);
    std::string result;
    for (char c : trim(name)) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127)
            continue;
        result += c;
    }
    if (result.size() > MaxNameLength)
        result.resize(MaxNameLength);
    while (!result.empty() && isBlank(result.back()))
        result.pop_back();
    return result;
}

void NameDirectory::set(const HostAddress& address, std::string_view name)
{
    std::string clean = Clean(name);
    std::lock_guard<std::mutex> lock(mutex_);
    if (clean.empty() || (names_.size() >= MaxNames && !names_.count(address)))
        return;
    names_[address] = std::move(clean);
}

bool NameDirectory::contains(const HostAddress& address) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return names_.count(address) != 0;
}

std::map<HostAddress, std::string> NameDirectory::copy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
}

size_t NameDirectory::loadNamesText(std::string_view text)
{
    size_t added = 0;
    forEachLine(text, [&](std::string_view line) {
        auto trimmed = trim(line);
        if (trimmed.empty() || trimmed.front() == '#')
            return;
        auto eq = trimmed.find('=');
        auto address = eq == std::string_view::npos ? std::nullopt : HostAddress::parse(trim(trimmed.substr(0, eq)));
        std::string name = address ? Clean(trimmed.substr(eq + 1)) : std::string();
        if (name.empty()) {
            ++skipped_;
            return;
        }
        set(*address, name);
        ++added;
    });
    return added;
}

size_t NameDirectory::loadHostsText(std::string_view text, const NetworkList& networks)
{
    size_t added = 0;
    forEachLine(text, [&](std::string_view line) {
        auto hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        std::istringstream words { std::string(line) };
        std::string address, name;
        if (!(words >> address >> name))
            return;
        auto parsed = HostAddress::parse(address);
        if (!parsed || !networks.contains(*parsed) || contains(*parsed))
            return; // the first entry of an address wins, as in the resolver
        set(*parsed, name);
        ++added;
    });
    return added;
}

size_t NameDirectory::loadNamesFile(const std::string& path)
{
    return loadNamesText(ReadTextFile(path, 64u << 20));
}

size_t NameDirectory::loadHostsFile(const std::string& path, const NetworkList& networks)
{
    std::string text;
    try {
        text = ReadTextFile(path, 64u << 20);
    } catch (const Exception&) {
        return 0;
    }
    return loadHostsText(text, networks);
}
