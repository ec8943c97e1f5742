#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Placeholder list of lines until the sorted list lands.
class TStringList {
public:
    virtual ~TStringList() = default;
    int Count() const { return int(lines_.size()); }
    const std::string& Get(int i) const { return lines_.at(size_t(i)); }
    const std::string& operator[](int i) const { return Get(i); }
    virtual int Add(std::string s)
    {
        lines_.push_back(std::move(s));
        return Count() - 1;
    }
    void Delete(int i) { lines_.erase(lines_.begin() + i); }
    void Clear() { lines_.clear(); }
    void BeginUpdate() {}
    void EndUpdate() {}

private:
    std::vector<std::string> lines_;
};
