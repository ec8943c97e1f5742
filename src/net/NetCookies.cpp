#include "net/NetCookies.h"

#include "net/NetHeaderList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::string lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower((unsigned char)c));
    return text;
}

std::string unquote(const std::string& text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "a;b" split at semicolons outside quotes.
std::vector<std::string> splitAttributes(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

bool isIPv4Text(const std::string& host)
{
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}
} // namespace

std::optional<time_t> ParseCookieDate(const std::string& text)
{
    static const char* const months[]
        = { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec" };
    int day = -1, month = -1, year = -1, hour = -1, minute = 0, second = 0;
    std::string token;
    auto take = [&] {
        if (token.empty())
            return;
        if (token.find(':') != std::string::npos) {
            int h = 0, m = 0, s = 0;
            if (std::sscanf(token.c_str(), "%d:%d:%d", &h, &m, &s) >= 2) {
                hour = h;
                minute = m;
                second = s;
            }
        } else if (allDigits(token)) {
            int v = std::atoi(token.c_str());
            if (token.size() <= 2 && day < 0)
                day = v;
            else if (year < 0)
                year = token.size() <= 2 ? (v < 70 ? 2000 + v : 1900 + v) : v;
        } else if (token.size() >= 3) {
            std::string m = lower(token.substr(0, 3));
            for (int i = 0; i < 12; ++i)
                if (m == months[i] && month < 0)
                    month = i;
        }
        token.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '-' || c == '\t')
            take();
        else
            token += c;
    }
    take();
    if (day < 1 || day > 31 || month < 0 || year < 1601 || hour < 0 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return timegm(&tm);
}

bool TNetCookieRFC2109::applyAttribute(const std::string& name, const std::string& value, time_t now)
{
    std::string key = lower(name);
    if (key == "expires") {
        if (auto when = ParseCookieDate(value))
            Expires = when;
    } else if (key == "max-age") {
        if (allDigits(value))
            Expires = now + time_t(std::min(std::strtoll(value.c_str(), nullptr, 10), 100LL * 365 * 86400));
    } else if (key == "domain") {
        Domain = lower(value);
    } else if (key == "path") {
        Path = value;
    } else if (key == "secure") {
        Secure = true;
    } else if (key == "version") {
        Version = std::atoi(value.c_str());
    } else if (key == "comment") {
        Comment = value;
    } else {
        return false;
    }
    return true;
}

bool TNetCookieRFC2965::applyAttribute(const std::string& name, const std::string& value, time_t now)
{
    std::string key = lower(name);
    if (key == "port")
        PortList = value;
    else if (key == "commenturl")
        CommentURL = value;
    else if (key == "discard")
        Discard = true;
    else if (key == "expires")
        return false;
    else
        return TNetCookieRFC2109::applyAttribute(name, value, now);
    return true;
}

bool TNetCookieRFC2109::Parse(const std::string& text, time_t now)
{
    std::vector<std::string> parts = splitAttributes(text);
    const std::string& first = parts[0];
    size_t eq = first.find('=');
    Name = TrimBlanks(first.substr(0, eq));
    Value = eq == std::string::npos ? std::string() : unquote(TrimBlanks(first.substr(eq + 1)));
    if (Name.empty())
        return false;
    for (size_t i = 1; i < parts.size(); ++i) {
        size_t at = parts[i].find('=');
        std::string name = TrimBlanks(parts[i].substr(0, at));
        std::string value = at == std::string::npos ? std::string() : unquote(TrimBlanks(parts[i].substr(at + 1)));
        if (!name.empty())
            applyAttribute(name, value, now);
    }
    return true;
}

bool TNetCookieRFC2109::DomainFits(const std::string& host) const
{
    std::string h = lower(host);
    std::string d = Domain;
    if (!d.empty() && d[0] == '.')
        d.erase(0, 1);
    if (d.empty())
        return false;
    if (h == d)
        return true;
    // Addresses match only themselves; names match the domain's hosts below it.
    if (isIPv4Text(h))
        return false;
    return h.size() > d.size() && h.compare(h.size() - d.size(), d.size(), d) == 0 && h[h.size() - d.size() - 1] == '.';
}

bool TNetCookieRFC2109::PathFits(const std::string& path) const
{
    return Path.empty() || path.compare(0, Path.size(), Path) == 0;
}

void TNetCookies::Add(std::unique_ptr<TNetCookieRFC2109> cookie)
{
    for (auto& item : items_) {
        if (item->Domain == cookie->Domain && item->Path == cookie->Path && item->Name == cookie->Name) {
            item = std::move(cookie);
            return;
        }
    }
    // A server that invents new cookies at every poll must not grow the store without end.
    if (items_.size() >= kMaxCookies)
        items_.erase(items_.begin());
    items_.push_back(std::move(cookie));
}

void TNetCookies::RemoveExpired(time_t now)
{
    items_.erase(
        std::remove_if(items_.begin(), items_.end(), [now](const auto& c) { return c->IsExpired(now); }), items_.end());
}

void TNetCookieManager::AddCookie(
    const std::string& headerValue, bool isCookie2, const std::string& host, const std::string& defaultPath, time_t now)
{
    std::vector<std::string> texts
        = isCookie2 ? SplitCookie2List(headerValue) : std::vector<std::string> { headerValue };
    for (const std::string& text : texts) {
        std::unique_ptr<TNetCookieRFC2109> cookie;
        if (isCookie2)
            cookie = std::make_unique<TNetCookieRFC2965>();
        else
            cookie = std::make_unique<TNetCookieRFC2109>();
        if (!cookie->Parse(text, now))
            continue;
        if (cookie->Domain.empty())
            cookie->Domain = lower(host);
        if (cookie->Path.empty())
            cookie->Path = defaultPath;
        // A server may set cookies only for its own domain.
        if (!cookie->DomainFits(host))
            continue;
        std::unique_lock<std::shared_mutex> guard(lock_);
        cookies_.Add(std::move(cookie));
    }
}

std::string TNetCookieManager::CookieHeader(
    const std::string& host, const std::string& path, bool encrypted, time_t now)
{
    std::vector<const TNetCookieRFC2109*> fitting;
    {
        std::unique_lock<std::shared_mutex> guard(lock_);
        cookies_.RemoveExpired(now);
    }
    std::shared_lock<std::shared_mutex> guard(lock_);
    for (const auto& cookie : cookies_.Items()) {
        if (cookie->Value.empty() || !cookie->DomainFits(host) || !cookie->PathFits(path))
            continue;
        if (cookie->Secure && !encrypted)
            continue;
        fitting.push_back(cookie.get());
    }
    std::stable_sort(fitting.begin(), fitting.end(), [](auto* a, auto* b) { return a->Path < b->Path; });
    std::string header;
    for (auto it = fitting.rbegin(); it != fitting.rend(); ++it) {
        if (!header.empty())
            header += "; ";
        header += (*it)->Name + "=" + (*it)->Value;
    }
    return header;
}

size_t TNetCookieManager::Count() const
{
    std::shared_lock<std::shared_mutex> guard(lock_);
    return cookies_.Count();
}

std::vector<std::string> SplitCookie2List(const std::string& value)
{
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false;
    for (char c : value) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            if (!TrimBlanks(current).empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!TrimBlanks(current).empty())
        parts.push_back(current);
    return parts;
}
