#pragma once

#include <string>
#include <vector>

// Header lines "Name: value" in order. Names compare without case; a line that begins with a
// blank or a tab continues the one before it.
class TNetHeaderList {
public:
    explicit TNetHeaderList(size_t foldLength = 0)
        : foldLength_(foldLength)
    {
    }

    void Clear() { lines_.clear(); }
    void Add(const std::string& line) { lines_.push_back(line); }
    size_t Count() const { return lines_.size(); }
    const std::string& operator[](size_t i) const { return lines_[i]; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // The value of the first line with that name, its continuation lines joined by one space.
    std::string Values(const std::string& name) const;
    // Replaces the first line of that name with its continuations, or appends; empty removes.
    void SetValue(const std::string& name, const std::string& value);
    // Every value of that name, in order (for headers that repeat, such as Set-Cookie).
    std::vector<std::string> AllValues(const std::string& name) const;

    static std::string NameOf(const std::string& line);

private:
    static bool isContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }
    std::string valueAt(size_t index) const;
    size_t indexOf(const std::string& name) const;
    std::vector<std::string> fold(const std::string& line) const;

    std::vector<std::string> lines_;
    size_t foldLength_;
};

std::string TrimBlanks(const std::string& text);
bool SameTextNoCase(const std::string& a, const std::string& b);
