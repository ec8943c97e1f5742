#include "net/NetHeaderList.h"

#include <strings.h>

std::string TrimBlanks(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (unsigned char)text[begin] <= ' ')
        ++begin;
    while (end > begin && (unsigned char)text[end - 1] <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

bool SameTextNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string TNetHeaderList::NameOf(const std::string& line)
{
    size_t colon = line.find(':');
    return colon == std::string::npos ? line : line.substr(0, colon);
}

size_t TNetHeaderList::indexOf(const std::string& name) const
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (isContinuation(lines_[i]) || lines_[i].find(':') == std::string::npos)
            continue;
        if (SameTextNoCase(TrimBlanks(NameOf(lines_[i])), name))
            return i;
    }
    return std::string::npos;
}

std::string TNetHeaderList::valueAt(size_t index) const
{
    const std::string& line = lines_[index];
    std::string value = TrimBlanks(line.substr(line.find(':') + 1));
    for (size_t i = index + 1; i < lines_.size() && isContinuation(lines_[i]); ++i)
        value += " " + TrimBlanks(lines_[i]);
    return value;
}

std::string TNetHeaderList::Values(const std::string& name) const
{
    size_t i = indexOf(name);
    return i == std::string::npos ? std::string() : valueAt(i);
}

std::vector<std::string> TNetHeaderList::AllValues(const std::string& name) const
{
    std::vector<std::string> values;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (isContinuation(lines_[i]) || lines_[i].find(':') == std::string::npos)
            continue;
        if (SameTextNoCase(TrimBlanks(NameOf(lines_[i])), name))
            values.push_back(valueAt(i));
    }
    return values;
}

std::vector<std::string> TNetHeaderList::fold(const std::string& line) const
{
    if (foldLength_ == 0 || line.size() <= foldLength_)
        return { line };
    std::vector<std::string> parts;
    std::string rest = line;
    while (rest.size() > foldLength_) {
        // Break at the last blank, tab or comma that keeps the piece within the length,
        // else at the first one after it; a line without any stays whole.
        size_t at = rest.find_last_of(" \t,", foldLength_);
        if (at == std::string::npos || at == 0)
            at = rest.find_first_of(" \t,", foldLength_);
        if (at == std::string::npos || at == 0)
            break;
        size_t cut = rest[at] == ',' ? at + 1 : at;
        std::string head = rest.substr(0, cut);
        size_t next = rest.find_first_not_of(" \t", cut);
        if (next == std::string::npos)
            break;
        parts.push_back(head);
        rest = " " + rest.substr(next);
    }
    parts.push_back(rest);
    return parts;
}

void TNetHeaderList::SetValue(const std::string& name, const std::string& value)
{
    size_t i = indexOf(name);
    size_t insertAt = lines_.size();
    if (i != std::string::npos) {
        size_t end = i + 1;
        while (end < lines_.size() && isContinuation(lines_[end]))
            ++end;
        lines_.erase(lines_.begin() + long(i), lines_.begin() + long(end));
        insertAt = i;
    }
    if (value.empty())
        return;
    std::vector<std::string> parts = fold(name + ": " + value);
    lines_.insert(lines_.begin() + long(insertAt), parts.begin(), parts.end());
}
