#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

// A cookie in the Netscape form, which RFC 2109 extends with a version and max-age.
class TNetCookieRFC2109 {
public:
    virtual ~TNetCookieRFC2109() = default;

    // Reads one "Set-cookie" value; false when it names no cookie.
    virtual bool Parse(const std::string& text, time_t now);
    bool IsExpired(time_t now) const { return Expires && *Expires <= now; }
    // True when the cookie's domain covers the host (the host itself or a host below it).
    bool DomainFits(const std::string& host) const;
    bool PathFits(const std::string& path) const;

    std::string Name, Value, Domain, Path, Comment;
    std::optional<time_t> Expires;
    bool Secure = false;
    int Version = 0;

protected:
    // Applies one attribute; false for a name this form does not know.
    virtual bool applyAttribute(const std::string& name, const std::string& value, time_t now);
};

// A "Set-cookie2" cookie, which adds a port list, discard and a comment location.
class TNetCookieRFC2965 : public TNetCookieRFC2109 {
public:
    std::string PortList, CommentURL;
    bool Discard = false;

protected:
    bool applyAttribute(const std::string& name, const std::string& value, time_t now) override;
};

// The cookies of one client, grouped by domain and path.
class TNetCookies {
public:
    // The most cookies kept; the oldest gives way to a new one.
    static constexpr size_t kMaxCookies = 300;

    // Stores the cookie, replacing one of the same domain, path and name.
    void Add(std::unique_ptr<TNetCookieRFC2109> cookie);
    void RemoveExpired(time_t now);
    size_t Count() const { return items_.size(); }
    const TNetCookieRFC2109& operator[](size_t i) const { return *items_[i]; }
    const std::vector<std::unique_ptr<TNetCookieRFC2109>>& Items() const { return items_; }

private:
    std::vector<std::unique_ptr<TNetCookieRFC2109>> items_;
};

class TNetCookieManager {
public:
    // Reads one header value; the sending host decides the default domain and which domains it may set.
    void AddCookie(const std::string& headerValue, bool isCookie2, const std::string& host,
        const std::string& defaultPath, time_t now);
    // The "Cookie" value for a request; secure cookies only when the channel encrypts.
    std::string CookieHeader(const std::string& host, const std::string& path, bool encrypted, time_t now);

    size_t Count() const;

private:
    TNetCookies cookies_;
    mutable std::shared_mutex lock_;
};

// Splits a Set-cookie2 value into its cookies at commas outside quotes.
std::vector<std::string> SplitCookie2List(const std::string& value);
// Reads the date forms cookies use (RFC 1123, RFC 850, asctime); none when unreadable.
std::optional<time_t> ParseCookieDate(const std::string& text);
