#pragma once

#include "service/http/NetCookies.h"
#include "service/http/NetHTTPHeaderInfo.h"
#include "service/http/NetTCPClient.h"
#include "service/http/NetURI.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>

enum TNetHTTPProtocolVersion { pv1_0, pv1_1 };

enum TNetHTTPOption : unsigned { hoInProcessAuth = 1, hoKeepOrigProtocol = 2, hoForceEncodeParams = 4 };

struct TNetProxyConnectionInfo {
    std::string ProxyServer, ProxyUsername, ProxyPassword;
    int ProxyPort = 0;
};

// HTTP/1.1 GET over the client's own connection: keeps the connection while the server allows,
// follows no redirects, fails on every status outside 2xx, keeps cookies.
class TNetCustomHTTP : public TNetTCPClient {
public:
    TNetCustomHTTP();
    ~TNetCustomHTTP() override;

    virtual bool DoOnAuthorization() { return false; }
    virtual bool DoOnProxyAuthorization() { return false; }
    // Whether to follow a redirect to location; this client never does.
    virtual bool DoOnRedirect(std::string& location, int redirectCount);
    virtual void DoRequest(const std::string& method, const std::string& location, std::string& sink);

    // Appends the body of location to sink; raises the network exceptions on any failure.
    void Get(const std::string& location, std::string& sink);
    std::string Get(const std::string& location);

    // Whether the connection stays open for the next request, judged now from the last response.
    bool KeepAliveVerdict();

    int ConnectTimeout() const { return m_connectTimeout; }
    void SetConnectTimeout(int ms) { m_connectTimeout = ms; }
    void SetReadTimeout(int ms) { ReadTimeout = ms; }
    // Bounds one whole exchange (0: none) and the bytes of one body.
    void SetExchangeTimeout(int ms) { m_exchangeTimeout = ms; }
    int ExchangeTimeout() const { return m_exchangeTimeout; }
    void SetMaxBodySize(size_t bytes) { m_maxBodySize = bytes; }
    size_t MaxBodySize() const { return m_maxBodySize; }

    TNetHTTPRequest& Request() { return m_request; }
    TNetHTTPResponse& Response() { return m_response; }
    const TNetURI& URL() const { return m_url; }
    TNetCookieManager* CookieManager() const { return m_cookieManager.get(); }
    int ResponseCode() const { return m_response.ResponseCode; }
    const std::string& ResponseText() const { return m_response.ResponseText; }

    TNetHTTPProtocolVersion ProtocolVersion = pv1_1;
    bool HandleRedirects = false;
    int RedirectMaximum = 15;
    int AuthRetries = 3;
    bool AllowCookies = true;
    unsigned HTTPOptions = hoForceEncodeParams;
    TNetProxyConnectionInfo ProxyParams;

    // Longest response head, status line included, and most interim (100) heads taken.
    static constexpr int kMaxHeadLines = 1000;
    static constexpr int kMaxInterimHeads = 10;

private:
    void prepareRequest(const std::string& location);
    void chooseConnection();
    void connectIfNeeded();
    void sendRequest(const std::string& method);
    void readResponseHead();
    void readBody(std::string& sink, bool forError);
    [[noreturn]] void raiseProtocolError();
    void finishExchange();
    bool channelEncrypts() const;

    TNetURI m_url;
    TNetHTTPRequest m_request;
    TNetHTTPResponse m_response;
    std::unique_ptr<TNetCookieManager> m_cookieManager;
    bool m_hasResponse = false;
    int m_connectTimeout = 0;
    int m_exchangeTimeout = 15000;
    size_t m_maxBodySize = size_t(64) << 20;

    // User name and password by the server ("host:port", host in lower case) whose location gave them.
    std::map<std::string, std::pair<std::string, std::string>> m_credentials;
};

class TNetHTTP : public TNetCustomHTTP {
public:
    TNetHTTP() = default;
};
