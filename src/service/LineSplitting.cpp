#include "service/LineSplitting.h"

#include "base/StringList.h"

#include <string>

void ReplaceLines(std::string_view content, TStringList& target)
{
    size_t nul = content.find('\0');
    if (nul != std::string_view::npos)
        content = content.substr(0, nul);
    target.BeginUpdate();
    try {
        target.Clear();
        size_t pos = 0;
        while (pos < content.size()) {
            // A plain scan: find_first_of searches its set of two once per character, which made
            // splitting the largest part of every fetch.
            size_t end = pos;
            while (end < content.size() && content[end] != '\r' && content[end] != '\n')
                ++end;
            target.Add(std::string(content.substr(pos, end - pos)));
            pos = end;
            if (pos < content.size() && content[pos] == '\r')
                ++pos;
            if (pos < content.size() && content[pos] == '\n')
                ++pos;
        }
    } catch (...) {
        target.EndUpdate();
        throw;
    }
    target.EndUpdate();
}
