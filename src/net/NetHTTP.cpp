#include "net/NetHTTP.h"

#include "net/NetExceptions.h"
#include "net/NetSSLIOHandlerSocket.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace {
std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

int parsePort(const std::string& text)
{
    // Leading zeros are allowed ("080" is port 80); the text itself goes into "Host" unchanged.
    bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    size_t first = text.find_first_not_of('0');
    std::string significant = first == std::string::npos ? "0" : text.substr(first);
    if (!digits || significant.size() > 5 || std::stoi(significant) > 65535)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return std::stoi(significant);
}

int statusCodeOf(const std::string& statusLine)
{
    size_t blank = statusLine.find(' ');
    if (blank == std::string::npos)
        return -1;
    std::string rest = TrimBlanks(statusLine.substr(blank + 1));
    std::string word = rest.substr(0, rest.find(' '));
    try {
        long long code = StrToInt64Strict(word);
        if (code < std::numeric_limits<int>::min() || code > std::numeric_limits<int>::max())
            return -1;
        return int(code);
    } catch (const EConvertError&) {
        return -1;
    }
}

// A chunk size line: hexadecimal up to the first blank or ";" (an extension, which is ignored),
// a 32-bit value; anything else counts as 0.
unsigned long chunkSizeOf(const std::string& line)
{
    std::string word = line.substr(0, line.find_first_of(" ;\t"));
    if (word.empty())
        return 0;
    unsigned long value = 0;
    for (char c : word) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return 0;
        value = value * 16 + unsigned(digit);
        if (value > 0xFFFFFFFFul)
            return 0;
    }
    return value;
}

// Restores a setting when the operation that changed it ends, also by an exception.
template <typename T> class ValueRestorer {
public:
    ValueRestorer(T& target, T value)
        : m_target(target)
        , m_saved(target)
    {
        target = value;
    }
    ~ValueRestorer() { m_target = m_saved; }

private:
    T& m_target;
    T m_saved;
};
} // namespace

TNetCustomHTTP::TNetCustomHTTP()
{
    SetPort(80);
    m_url.Port = "80";
}

TNetCustomHTTP::~TNetCustomHTTP()
{
    Disconnect();
}

bool TNetCustomHTTP::DoOnRedirect(std::string&, int)
{
    return false;
}

void TNetCustomHTTP::Get(const std::string& location, std::string& sink)
{
    DoRequest("GET", location, sink);
}

void TNetCustomHTTP::Get(const std::string& location, TNetBodySink& sink)
{
    exchange("GET", location, { nullptr, &sink });
}

std::string TNetCustomHTTP::Get(const std::string& location)
{
    std::string body;
    Get(location, body);
    return body;
}

bool TNetCustomHTTP::channelEncrypts() const
{
    auto* ssl = dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
    return ssl && ssl->Encrypting();
}

void TNetCustomHTTP::prepareRequest(const std::string& location)
{
    TNetURI uri(location);
    if (!uri.Path.empty() && uri.Path[0] == '/') {
        m_url.Path = uri.Path;
    } else {
        std::string path = m_url.Path;
        if (path.empty() || path.back() != '/')
            path += "/";
        m_url.Path = TNetURI::NormalizePath(path + uri.Path);
    }
    m_url.Document = uri.Document;
    m_url.Params = uri.Params;
    if (!uri.Host.empty())
        m_url.Host = uri.Host;
    m_url.Protocol = uri.Protocol.empty() ? "http" : uri.Protocol;
    if (!uri.Port.empty())
        m_url.Port = uri.Port;
    else if (SameTextNoCase(uri.Protocol, "http"))
        m_url.Port = "80";
    else if (SameTextNoCase(uri.Protocol, "https"))
        m_url.Port = "443";
    else if (m_url.Port.empty())
        throw ENetUnknownProtocol();

    m_request.URL = m_url.Path + m_url.Document + m_url.Params;
    m_request.Host = m_url.Port == "80" ? m_url.Host : m_url.Host + ":" + m_url.Port;

    // A location's own user info is used for it and remembered for its host and port; a location
    // without any gets what was remembered there, and credentials never travel to another server.
    const std::string server = lower(m_url.Host) + ":" + std::to_string(parsePort(m_url.Port));
    if (!uri.Username.empty())
        m_credentials[server] = { uri.Username, uri.Password };
    auto remembered = m_credentials.find(server);
    const bool authorized = remembered != m_credentials.end();
    m_request.Username = authorized ? remembered->second.first : std::string();
    m_request.Password = authorized ? remembered->second.second : std::string();
    m_url.Username = m_request.Username;
    m_url.Password = m_request.Password;
}

void TNetCustomHTTP::chooseConnection()
{
    int port = parsePort(m_url.Port);
    if (!SameTextNoCase(m_url.Host, Host()) || port != Port()) {
        if (Connected())
            Disconnect();
        SetHost(m_url.Host);
        SetPort(port);
    }
    auto* ssl = dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
    if (SameTextNoCase(m_url.Protocol, "https")) {
        if (!ssl)
            throw ENetIOHandlerPropInvalid();
        // On an open plain connection the handshake starts right here, under the same read limit.
        ssl->SetReadTimeout(ReadTimeout);
        ssl->SetPassThrough(false);
    } else if (ssl) {
        ssl->SetPassThrough(true);
    }
}

void TNetCustomHTTP::connectIfNeeded()
{
    if (!KeepAliveVerdict())
        Disconnect();
    CheckForGracefulDisconnect(1);
    if (!Connected())
        Connect(m_connectTimeout);
}

void TNetCustomHTTP::sendRequest(const std::string& method)
{
    m_request.Method = method;
    m_request.Authorization.clear();
    if (!m_request.Username.empty())
        m_request.Authorization = "Basic " + EncodeBase64(m_request.Username + ":" + m_request.Password);
    m_request.Cookie.clear();
    if (m_cookieManager)
        m_request.Cookie = m_cookieManager->CookieHeader(
            m_url.Host, m_url.Path + m_url.Document, channelEncrypts(), std::time(nullptr));
    m_request.SetHeaders();

    OpenWriteBuffer();
    try {
        WriteLn(method + " " + m_request.URL + " HTTP/" + (ProtocolVersion == pv1_1 ? "1.1" : "1.0"));
        for (const std::string& line : m_request.RawHeaders.Lines())
            WriteLn(line);
        WriteLn();
        CloseWriteBuffer();
    } catch (...) {
        CancelWriteBuffer();
        throw;
    }
}

void TNetCustomHTTP::readResponseHead()
{
    int interimHeads = 0;
    do {
        m_response.Clear();
        m_response.ResponseText = ReadLn();
        m_hasResponse = true;
        int lines = 1;
        for (;;) {
            std::string line;
            try {
                line = ReadLn();
            } catch (const ENetConnClosedGracefully&) {
                CloseSocket();
                break;
            }
            if (line.empty())
                break;
            if (++lines > kMaxHeadLines)
                throw ENetHTTPHeadTooLarge("Response head exceeds " + std::to_string(kMaxHeadLines) + " lines.");
            m_response.RawHeaders.Add(line);
        }
        m_response.ProcessHeaders();
        if (AllowCookies) {
            if (!m_cookieManager)
                m_cookieManager = std::make_unique<TNetCookieManager>();
            time_t now = std::time(nullptr);
            for (const std::string& value : m_response.RawHeaders.AllValues("Set-cookie"))
                m_cookieManager->AddCookie(value, false, m_url.Host, m_url.Path, now);
            for (const std::string& value : m_response.RawHeaders.AllValues("Set-cookie2"))
                m_cookieManager->AddCookie(value, true, m_url.Host, m_url.Path, now);
        }
        m_response.ResponseCode = statusCodeOf(m_response.ResponseText);
        if (m_response.ResponseCode == 100 && ++interimHeads > kMaxInterimHeads)
            throw ENetHTTPHeadTooLarge("More than " + std::to_string(kMaxInterimHeads) + " interim responses.");
    } while (m_response.ResponseCode == 100);
}

void TNetCustomHTTP::deliver(std::string& piece, TNetBodySink& sink)
{
    if (piece.empty())
        return;
    const auto start = TNetClock::now();
    sink.Write(piece);
    piece.clear();
    // The exchange limit bounds the server, not the work the sink does with what arrived.
    if (auto deadline = Deadline())
        SetDeadline(*deadline + (TNetClock::now() - start));
}

void TNetCustomHTTP::readCounted(BodyTarget target, size_t count, size_t& streamed)
{
    if (target.text) {
        ReadBytes(*target.text, count);
        return;
    }
    std::string piece;
    try {
        while (count > 0) {
            size_t n = std::min(count, kStreamPiece);
            ReadBytes(piece, n);
            count -= n;
            streamed += piece.size();
            deliver(piece, *target.stream);
        }
    } catch (const ENetConnClosedGracefully&) {
        // What arrived before the close is the sink's, as it would be a text's.
        streamed += piece.size();
        deliver(piece, *target.stream);
        throw;
    }
}

void TNetCustomHTTP::readBody(BodyTarget target, bool forError)
{
    std::string piece;
    auto received = [&] { return target.text ? target.text->size() : 0; };
    if (m_response.ContentLength > 0) {
        long long length = m_response.ContentLength;
        if ((unsigned long long)length > m_maxBodySize)
            throw ENetHTTPBodyTooLarge((long long)m_maxBodySize);
        size_t before = received();
        size_t streamed = 0;
        try {
            readCounted(target, size_t(length), streamed);
        } catch (const ENetConnClosedGracefully&) {
            // A cut body must not pass for the whole one; an error reply keeps what came.
            if (!forError)
                throw ENetHTTPBodyIncomplete((long long)(received() - before + streamed), length);
        }
    } else if (m_response.TransferEncoding.find("chunked") != std::string::npos) {
        size_t chunked = 0, streamed = 0;
        for (;;) {
            unsigned long size = chunkSizeOf(ReadLn());
            if (size == 0)
                break;
            if (size > m_maxBodySize - chunked)
                throw ENetHTTPBodyTooLarge((long long)m_maxBodySize);
            chunked += size;
            readCounted(target, size, streamed);
            ReadLn();
        }
        ReadLn();
    } else if (!m_response.HasContentLength) {
        if (target.text) {
            ReadUntilClose(*target.text, m_maxBodySize);
            return;
        }
        size_t total = 0;
        for (bool more = true; more;) {
            more = ReadSome(piece, kStreamPiece);
            if (piece.size() > m_maxBodySize - total)
                throw ENetHTTPBodyTooLarge((long long)m_maxBodySize);
            total += piece.size();
            deliver(piece, *target.stream);
        }
    }
}

void TNetCustomHTTP::raiseProtocolError()
{
    std::string body;
    // A 304 carries no body by definition; waiting for one would only delay the failure.
    if (m_response.ResponseCode != 304) {
        ValueRestorer<int> limit(ReadTimeout, 2000);
        readBody({ &body, nullptr }, true);
    }
    throw ENetHTTPProtocolException(m_response.ResponseText, m_response.ResponseCode, body);
}

bool TNetCustomHTTP::KeepAliveVerdict()
{
    if (!m_hasResponse)
        return false;
    CheckForDisconnect(false);
    bool open = transportConnected();
    if (!open)
        return false;
    std::string connection = upper(TrimBlanks(m_response.Connection));
    std::string proxyConnection = upper(TrimBlanks(m_response.ProxyConnection));
    if (ProtocolVersion == pv1_1)
        return connection != "CLOSE" && proxyConnection != "CLOSE";
    return connection == "KEEP-ALIVE" || proxyConnection == "KEEP-ALIVE";
}

void TNetCustomHTTP::finishExchange()
{
    if (!KeepAliveVerdict())
        Disconnect();
}

void TNetCustomHTTP::DoRequest(const std::string& method, const std::string& location, std::string& sink)
{
    exchange(method, location, { &sink, nullptr });
}

void TNetCustomHTTP::exchange(const std::string& method, const std::string& location, BodyTarget target)
{
    bool inBody = false;
    std::optional<TNetClock::time_point> deadline;
    if (m_exchangeTimeout > 0)
        deadline = TNetClock::now() + std::chrono::milliseconds(m_exchangeTimeout);
    SetDeadline(deadline);
    try {
        prepareRequest(location);
        chooseConnection();
        connectIfNeeded();
        sendRequest(method);
        readResponseHead();

        int code = m_response.ResponseCode;
        int statusClass = code / 100;
        if ((statusClass == 3 && code != 304) || !m_response.Location.empty()) {
            std::string target = m_response.Location;
            if (!DoOnRedirect(target, 1))
                raiseProtocolError();
        }
        if (statusClass != 2)
            raiseProtocolError();
        if (!Connected())
            throw ENetException("Undefined situation");
        if (code != 204) {
            inBody = true;
            readBody(target, false);
        }
    } catch (const ENetReadTimeout&) {
        // The stream is in an unknown state after a bound was crossed: never reuse it.
        Disconnect();
        SetDeadline(std::nullopt);
        throw;
    } catch (const ENetHTTPResponseError&) {
        Disconnect();
        SetDeadline(std::nullopt);
        throw;
    } catch (...) {
        // A body left half read would be taken for the next response: never reuse its connection.
        if (inBody)
            Disconnect();
        else
            finishExchange();
        SetDeadline(std::nullopt);
        throw;
    }
    finishExchange();
    SetDeadline(std::nullopt);
}
