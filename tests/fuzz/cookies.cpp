// Set-cookie and Set-cookie2 values from a server, with the host and path they came from, and
// the Cookie value built from what was kept. Line 1 is the host, line 2 the path, every further
// line one header value; a value starting with "2:" is a Set-cookie2 value.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "net/NetCookies.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text = qtm_fuzz::AsText(data, size);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size() && lines.size() < 400) {
        size_t eol = text.find('\n', start);
        lines.emplace_back(text.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start));
        if (eol == std::string_view::npos)
            break;
        start = eol + 1;
    }
    if (lines.size() < 2)
        return 0;
    const std::string& host = lines[0];
    const std::string& path = lines[1];
    // A fixed clock keeps a run repeatable; expiry dates either side of it stay meaningful.
    const time_t now = 1700000000;

    TNetCookieManager cookies;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& value = lines[i];
        const bool cookie2 = value.compare(0, 2, "2:") == 0;
        try {
            cookies.AddCookie(cookie2 ? value.substr(2) : value, cookie2, host, path, now);
        } catch (const Exception&) {
        }
        SplitCookie2List(value);
        ParseCookieDate(value);
    }
    if (cookies.Count() > TNetCookies::kMaxCookies)
        qtm_fuzz::BrokenPromise("more cookies kept than the limit");
    cookies.CookieHeader(host, path, false, now);
    cookies.CookieHeader(host, path + "/x", true, now + 86400);
    return 0;
}
