#include "net/NetHTTPHeaderInfo.h"

#include "net/NetExceptions.h"

#include <limits>

std::string EncodeBase64(const std::string& bytes)
{
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size())
            v |= (unsigned char)bytes[i + 1] << 8;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

long long StrToInt64Strict(const std::string& text)
{
    bool negative = !text.empty() && text[0] == '-';
    size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (start >= text.size())
        throw EConvertError("'" + text + "' is not a valid integer value");
    unsigned long long value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9' || value > (std::numeric_limits<unsigned long long>::max() - 9) / 10)
            throw EConvertError("'" + text + "' is not a valid integer value");
        value = value * 10 + unsigned(c - '0');
    }
    if (value > (unsigned long long)std::numeric_limits<long long>::max())
        throw EConvertError("'" + text + "' is not a valid integer value");
    return negative ? -(long long)value : (long long)value;
}

void TNetEntityHeaderInfo::ProcessHeaders()
{
    Connection = RawHeaders.Values("Connection");
    ContentType = RawHeaders.Values("Content-Type");
    TransferEncoding = RawHeaders.Values("Transfer-Encoding");

    std::string length = TrimBlanks(RawHeaders.Values("Content-Length"));
    ContentLength = -1;
    HasContentLength = false;
    try {
        if (!length.empty()) {
            long long value = StrToInt64Strict(length);
            if (value >= 0) {
                ContentLength = value;
                HasContentLength = true;
            }
        }
    } catch (const EConvertError&) {
        // Not a number: the body is read as if no length had been given.
    }

    std::string range = TrimBlanks(RawHeaders.Values("Content-Range"));
    ContentRangeStart = ContentRangeEnd = 0;
    if (!range.empty()) {
        size_t blank = range.find(' ');
        std::string bounds = blank == std::string::npos ? range : TrimBlanks(range.substr(blank + 1));
        size_t dash = bounds.find('-');
        size_t slash = bounds.find('/', dash == std::string::npos ? 0 : dash);
        std::string start = bounds.substr(0, dash);
        std::string end = dash == std::string::npos ? std::string() : bounds.substr(dash + 1, slash - dash - 1);
        ContentRangeStart = StrToInt64Strict(TrimBlanks(start));
        ContentRangeEnd = StrToInt64Strict(TrimBlanks(end));
    }
}

void TNetEntityHeaderInfo::SetHeaders()
{
    RawHeaders.Clear();
    RawHeaders.SetValue("Connection", Connection);
    RawHeaders.SetValue("Content-Type", ContentType);
}

void TNetEntityHeaderInfo::Clear()
{
    RawHeaders.Clear();
    Connection.clear();
    ContentType.clear();
    TransferEncoding.clear();
    ContentLength = -1;
    HasContentLength = false;
    ContentRangeStart = ContentRangeEnd = 0;
}

void TNetRequestHeaderInfo::SetHeaders()
{
    RawHeaders.Clear();
    RawHeaders.SetValue("Host", Host);
    RawHeaders.SetValue("Accept", Accept);
    RawHeaders.SetValue("User-Agent", UserAgent);
    RawHeaders.SetValue("Authorization", Authorization);
    RawHeaders.SetValue("Cookie", Cookie);
}

void TNetRequestHeaderInfo::Clear()
{
    TNetEntityHeaderInfo::Clear();
    Host.clear();
    Authorization.clear();
    Cookie.clear();
}

void TNetResponseHeaderInfo::ProcessHeaders()
{
    TNetEntityHeaderInfo::ProcessHeaders();
    Location = RawHeaders.Values("Location");
    ProxyConnection = RawHeaders.Values("Proxy-Connection");
}

void TNetResponseHeaderInfo::Clear()
{
    TNetEntityHeaderInfo::Clear();
    Location.clear();
    ProxyConnection.clear();
}

void TNetHTTPResponse::Clear()
{
    TNetResponseHeaderInfo::Clear();
    ResponseText.clear();
    ResponseCode = -1;
}
