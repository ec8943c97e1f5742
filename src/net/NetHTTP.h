#pragma once

#include "net/NetCookies.h"
#include "net/NetHTTPHeaderInfo.h"
#include "net/NetTCPClient.h"
#include "net/NetURI.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

enum TNetHTTPProtocolVersion { pv1_0, pv1_1 };

enum TNetHTTPOption : unsigned { hoInProcessAuth = 1, hoKeepOrigProtocol = 2, hoForceEncodeParams = 4 };

struct TNetProxyConnectionInfo {
    std::string ProxyServer, ProxyUsername, ProxyPassword;
    int ProxyPort = 0;
};

// Takes a body piece by piece as it arrives, so that a large one is never held whole.
class TNetBodySink {
public:
    virtual ~TNetBodySink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

// HTTP/1.1 GET over the client's own connection: keeps the connection while the server allows,
// follows no redirects, fails on every status outside 2xx, keeps cookies.
class TNetCustomHTTP : public TNetTCPClient {
public:
    TNetCustomHTTP();
    ~TNetCustomHTTP() override;

    // Whether to follow a redirect to location; this client never does.
    virtual bool DoOnRedirect(std::string& location, int redirectCount);
    virtual void DoRequest(const std::string& method, const std::string& location, std::string& sink);

    // Appends the body of location to sink; raises the network exceptions on any failure.
    void Get(const std::string& location, std::string& sink);
    std::string Get(const std::string& location);
    // The same, handing the body to the sink as it arrives. The time the sink takes does not count
    // against the exchange limit; a failure it raises ends the exchange and closes the connection.
    void Get(const std::string& location, TNetBodySink& sink);

    // Whether the connection stays open for the next request, judged now from the last response.
    bool KeepAliveVerdict();

    int ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(int ms) { connectTimeout_ = ms; }
    void SetReadTimeout(int ms) { ReadTimeout = ms; }
    // Bounds one whole exchange (0: none) and the bytes of one body.
    void SetExchangeTimeout(int ms) { exchangeTimeout_ = ms; }
    int ExchangeTimeout() const { return exchangeTimeout_; }
    void SetMaxBodySize(size_t bytes) { maxBodySize_ = bytes; }
    size_t MaxBodySize() const { return maxBodySize_; }

    TNetHTTPRequest& Request() { return request_; }
    TNetHTTPResponse& Response() { return response_; }
    const TNetURI& URL() const { return url_; }
    TNetCookieManager* CookieManager() const { return cookieManager_.get(); }
    int ResponseCode() const { return response_.ResponseCode; }
    const std::string& ResponseText() const { return response_.ResponseText; }

    TNetHTTPProtocolVersion ProtocolVersion = pv1_1;
    bool AllowCookies = true;

    // Inert: kept with their usual defaults so that callers may set them, but nothing reads them.
    // The client follows no redirect, sends credentials only with the request itself (never again
    // in answer to a 401), uses no proxy and encodes no parameters; a redirect or a 401 ends the
    // request as a failure like any status outside 2xx.
    virtual bool DoOnAuthorization() { return false; }
    virtual bool DoOnProxyAuthorization() { return false; }
    bool HandleRedirects = false;
    int RedirectMaximum = 15;
    int AuthRetries = 3;
    unsigned HTTPOptions = hoForceEncodeParams;
    TNetProxyConnectionInfo ProxyParams;

    // Longest response head, status line included, and most interim (100) heads taken.
    static constexpr int kMaxHeadLines = 1000;
    static constexpr int kMaxInterimHeads = 10;
    // Size of the pieces a streamed body is handed over in.
    static constexpr size_t kStreamPiece = 256 * 1024;

private:
    void prepareRequest(const std::string& location);
    void chooseConnection();
    void connectIfNeeded();
    void sendRequest(const std::string& method);
    void readResponseHead();
    // Where a body goes: whole into a text, or piece by piece into a sink.
    struct BodyTarget {
        std::string* text = nullptr;
        TNetBodySink* stream = nullptr;
    };
    void exchange(const std::string& method, const std::string& location, BodyTarget target);
    void readBody(BodyTarget target, bool forError);
    // Reads count bytes into the target; streamed counts what went to a sink.
    void readCounted(BodyTarget target, size_t count, size_t& streamed);
    void deliver(std::string& piece, TNetBodySink& sink);
    [[noreturn]] void raiseProtocolError();
    void finishExchange();
    bool channelEncrypts() const;

    TNetURI url_;
    TNetHTTPRequest request_;
    TNetHTTPResponse response_;
    std::unique_ptr<TNetCookieManager> cookieManager_;
    bool hasResponse_ = false;
    int connectTimeout_ = 0;
    int exchangeTimeout_ = 15000;
    size_t maxBodySize_ = size_t(64) << 20;

    // User name and password by the server ("host:port", host in lower case) whose location gave them.
    std::map<std::string, std::pair<std::string, std::string>> credentials_;
};

class TNetHTTP : public TNetCustomHTTP {
public:
    TNetHTTP() = default;
};
