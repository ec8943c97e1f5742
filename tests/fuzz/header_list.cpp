// Header lines as a server sends them: the list's lookups, continuations and replacements, and
// the response fields read from it.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "net/NetHTTPHeaderInfo.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
bool isToken(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return c > ' ' && c < 127 && std::strchr("\"(),/:;<=>?@[\\]{}", c) == nullptr;
    });
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text = qtm_fuzz::AsText(data, size);
    TNetHTTPResponse response;
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t eol = text.find('\n', start);
        std::string line(text.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        response.RawHeaders.Add(line);
        names.push_back(TNetHeaderList::NameOf(line));
        if (eol == std::string_view::npos)
            break;
        start = eol + 1;
    }
    try {
        response.ProcessHeaders();
    } catch (const Exception&) {
        // A malformed Content-Length and the like end the exchange with an error.
    }
    for (const std::string& name : names) {
        response.RawHeaders.Values(name);
        response.RawHeaders.AllValues(name);
    }

    // Writing headers folds long values; what is written must read back the same.
    TNetHeaderList folded(64);
    for (size_t i = 0; i < names.size() && i < 8; ++i) {
        // Only the client names the headers it writes, and always with token characters; a
        // blank or comma in a name would let folding break the line inside the name.
        if (!isToken(names[i]))
            continue;
        std::string value = TrimBlanks(response.RawHeaders.Values(names[i]));
        folded.SetValue(names[i], value);
        std::string back = folded.Values(names[i]);
        if (!value.empty() && back.empty())
            qtm_fuzz::BrokenPromise("a header value set is lost");
        folded.SetValue(names[i], "");
        if (!folded.Values(names[i]).empty())
            qtm_fuzz::BrokenPromise("an emptied header is still there");
    }
    return 0;
}
