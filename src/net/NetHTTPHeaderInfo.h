#pragma once

#include "net/NetHeaderList.h"

#include <string>

// Header fields common to requests and responses, read from and written to their raw lines.
class TNetEntityHeaderInfo {
public:
    explicit TNetEntityHeaderInfo(size_t foldLength = 0)
        : RawHeaders(foldLength)
    {
    }
    virtual ~TNetEntityHeaderInfo() = default;

    virtual void ProcessHeaders();
    virtual void SetHeaders();
    virtual void Clear();

    TNetHeaderList RawHeaders;
    std::string Connection, ContentType, TransferEncoding;
    long long ContentLength = -1;
    bool HasContentLength = false;
    long long ContentRangeStart = 0, ContentRangeEnd = 0;
};

class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
public:
    // Request lines longer than this are folded onto continuation lines.
    TNetRequestHeaderInfo()
        : TNetEntityHeaderInfo(1024)
    {
    }

    void SetHeaders() override;
    void Clear() override;

    std::string Host, Accept = "text/html, */*", UserAgent = "Mozilla/3.0 (compatible; Quorvel Traffic Monitor)";
    std::string Username, Password, Authorization, Cookie;
    bool BasicAuthentication = false;
};

class TNetHTTPRequest : public TNetRequestHeaderInfo {
public:
    std::string URL, Method = "GET";
};

class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
public:
    void ProcessHeaders() override;
    void Clear() override;

    std::string Location, ProxyConnection;
};

class TNetHTTPResponse : public TNetResponseHeaderInfo {
public:
    void Clear() override;

    std::string ResponseText;
    int ResponseCode = -1;
};

std::string EncodeBase64(const std::string& bytes);
// Decimal digits only, as the runtime's conversion reads them; raises EConvertError otherwise.
long long StrToInt64Strict(const std::string& text);
