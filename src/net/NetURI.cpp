#include "net/NetURI.h"

#include <algorithm>
#include <vector>

namespace {
// Cuts a "#" fragment off; true when there was one.
bool cutFragment(std::string& text)
{
    size_t hash = text.find('#');
    if (hash == std::string::npos)
        return false;
    text.erase(hash);
    return true;
}

// Splits R into directory (up to and including its last "/" before the params), document and params.
void splitResource(const std::string& r, std::string& dir, std::string& document, std::string& params)
{
    size_t q = r.find('?');
    if (q == std::string::npos)
        q = r.find('=');
    size_t limit = q == std::string::npos ? r.size() : q;
    size_t slash = limit == 0 ? std::string::npos : r.rfind('/', limit - 1);
    size_t t = slash == std::string::npos ? 0 : slash + 1;
    dir = r.substr(0, t);
    if (q != std::string::npos) {
        document = r.substr(t, q - t);
        params = r.substr(q);
    } else {
        document = r.substr(t);
        params.clear();
    }
    if (!cutFragment(document))
        cutFragment(params);
}
} // namespace

void TNetURI::SetURI(const std::string& location)
{
    std::string uri = location;
    std::replace(uri.begin(), uri.end(), '\\', '/');
    Protocol.clear();
    Host.clear();
    Port.clear();
    Path.clear();
    Document.clear();
    Params.clear();
    Username.clear();
    Password.clear();

    size_t scheme = uri.find("://");
    if (scheme == std::string::npos) {
        splitResource(uri, Path, Document, Params);
        return;
    }
    Protocol = uri.substr(0, scheme);
    std::string rest = uri.substr(scheme + 3);
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    std::string r = slash == std::string::npos ? std::string() : rest.substr(slash + 1);

    size_t at = authority.find('@');
    if (at != std::string::npos) {
        std::string user = authority.substr(0, at);
        authority.erase(0, at + 1);
        size_t colon = user.find(':');
        Username = user.substr(0, colon);
        if (colon != std::string::npos && !Username.empty())
            Password = user.substr(colon + 1);
    }
    size_t colon = authority.find(':');
    Host = authority.substr(0, colon);
    if (colon != std::string::npos)
        Port = authority.substr(colon + 1);

    std::string dir;
    splitResource(r, dir, Document, Params);
    Path = "/" + dir;
}

std::string TNetURI::GetFullURI() const
{
    std::string text;
    if (!Protocol.empty())
        text += Protocol + "://";
    if (!Username.empty()) {
        text += Username;
        if (!Password.empty())
            text += ":" + Password;
        text += "@";
    }
    text += Host;
    if (!Port.empty())
        text += ":" + Port;
    return text + Path + Document + Params;
}

std::string TNetURI::NormalizePath(const std::string& path)
{
    std::vector<std::string> segments;
    size_t pos = 0;
    bool trailingSlash = !path.empty() && path.back() == '/';
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        std::string seg = path.substr(pos, next - pos);
        if (seg == "..") {
            if (!segments.empty())
                segments.pop_back();
            trailingSlash = true;
        } else if (seg == ".") {
            trailingSlash = true;
        } else if (!seg.empty()) {
            segments.push_back(seg);
            trailingSlash = next < path.size();
        }
        pos = next + 1;
    }
    std::string result = "/";
    for (size_t i = 0; i < segments.size(); ++i) {
        result += segments[i];
        if (i + 1 < segments.size() || trailingSlash)
            result += "/";
    }
    return result;
}
