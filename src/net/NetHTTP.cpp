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
        : target_(target)
        , saved_(target)
    {
        target = value;
    }
    ~ValueRestorer() { target_ = saved_; }

private:
    T& target_;
    T saved_;
};
} // namespace

TNetCustomHTTP::TNetCustomHTTP()
{
    SetPort(80);
    url_.Port = "80";
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
        url_.Path = uri.Path;
    } else {
        std::string path = url_.Path;
        if (path.empty() || path.back() != '/')
            path += "/";
        url_.Path = TNetURI::NormalizePath(path + uri.Path);
    }
    url_.Document = uri.Document;
    url_.Params = uri.Params;
    if (!uri.Host.empty())
        url_.Host = uri.Host;
    url_.Protocol = uri.Protocol.empty() ? "http" : uri.Protocol;
    if (!uri.Port.empty())
        url_.Port = uri.Port;
    else if (SameTextNoCase(uri.Protocol, "http"))
        url_.Port = "80";
    else if (SameTextNoCase(uri.Protocol, "https"))
        url_.Port = "443";
    else if (url_.Port.empty())
        throw ENetUnknownProtocol();

    request_.URL = url_.Path + url_.Document + url_.Params;
    request_.Host = url_.Port == "80" ? url_.Host : url_.Host + ":" + url_.Port;

    // A location's own user info is used for it and remembered for its host and port; a location
    // without any gets what was remembered there, and credentials never travel to another server.
    const std::string server = lower(url_.Host) + ":" + std::to_string(parsePort(url_.Port));
    if (!uri.Username.empty())
        credentials_[server] = { uri.Username, uri.Password };
    auto remembered = credentials_.find(server);
    const bool authorized = remembered != credentials_.end();
    request_.Username = authorized ? remembered->second.first : std::string();
    request_.Password = authorized ? remembered->second.second : std::string();
    url_.Username = request_.Username;
    url_.Password = request_.Password;
}

void TNetCustomHTTP::chooseConnection()
{
    int port = parsePort(url_.Port);
    if (!SameTextNoCase(url_.Host, Host()) || port != Port()) {
        if (Connected())
            Disconnect();
        SetHost(url_.Host);
        SetPort(port);
    }
    auto* ssl = dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
    if (SameTextNoCase(url_.Protocol, "https")) {
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
        Connect(connectTimeout_);
}

void TNetCustomHTTP::sendRequest(const std::string& method)
{
    request_.Method = method;
    request_.Authorization.clear();
    if (!request_.Username.empty())
        request_.Authorization = "Basic " + EncodeBase64(request_.Username + ":" + request_.Password);
    request_.Cookie.clear();
    if (cookieManager_)
        request_.Cookie
            = cookieManager_->CookieHeader(url_.Host, url_.Path + url_.Document, channelEncrypts(), std::time(nullptr));
    request_.SetHeaders();

    OpenWriteBuffer();
    try {
        WriteLn(method + " " + request_.URL + " HTTP/" + (ProtocolVersion == pv1_1 ? "1.1" : "1.0"));
        for (const std::string& line : request_.RawHeaders.Lines())
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
        response_.Clear();
        response_.ResponseText = ReadLn();
        hasResponse_ = true;
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
            response_.RawHeaders.Add(line);
        }
        response_.ProcessHeaders();
        if (AllowCookies) {
            if (!cookieManager_)
                cookieManager_ = std::make_unique<TNetCookieManager>();
            time_t now = std::time(nullptr);
            for (const std::string& value : response_.RawHeaders.AllValues("Set-cookie"))
                cookieManager_->AddCookie(value, false, url_.Host, url_.Path, now);
            for (const std::string& value : response_.RawHeaders.AllValues("Set-cookie2"))
                cookieManager_->AddCookie(value, true, url_.Host, url_.Path, now);
        }
        response_.ResponseCode = statusCodeOf(response_.ResponseText);
        if (response_.ResponseCode == 100 && ++interimHeads > kMaxInterimHeads)
            throw ENetHTTPHeadTooLarge("More than " + std::to_string(kMaxInterimHeads) + " interim responses.");
    } while (response_.ResponseCode == 100);
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
    if (response_.ContentLength > 0) {
        long long length = response_.ContentLength;
        if ((unsigned long long)length > maxBodySize_)
            throw ENetHTTPBodyTooLarge((long long)maxBodySize_);
        size_t before = received();
        size_t streamed = 0;
        try {
            readCounted(target, size_t(length), streamed);
        } catch (const ENetConnClosedGracefully&) {
            // A cut body must not pass for the whole one; an error reply keeps what came.
            if (!forError)
                throw ENetHTTPBodyIncomplete((long long)(received() - before + streamed), length);
        }
    } else if (response_.TransferEncoding.find("chunked") != std::string::npos) {
        size_t chunked = 0, streamed = 0;
        for (;;) {
            unsigned long size = chunkSizeOf(ReadLn());
            if (size == 0)
                break;
            if (size > maxBodySize_ - chunked)
                throw ENetHTTPBodyTooLarge((long long)maxBodySize_);
            chunked += size;
            readCounted(target, size, streamed);
            ReadLn();
        }
        ReadLn();
    } else if (!response_.HasContentLength) {
        if (target.text) {
            ReadUntilClose(*target.text, maxBodySize_);
            return;
        }
        size_t total = 0;
        for (bool more = true; more;) {
            more = ReadSome(piece, kStreamPiece);
            if (piece.size() > maxBodySize_ - total)
                throw ENetHTTPBodyTooLarge((long long)maxBodySize_);
            total += piece.size();
            deliver(piece, *target.stream);
        }
    }
}

void TNetCustomHTTP::raiseProtocolError()
{
    std::string body;
    // A 304 carries no body by definition; waiting for one would only delay the failure.
    if (response_.ResponseCode != 304) {
        ValueRestorer<int> limit(ReadTimeout, 2000);
        readBody({ &body, nullptr }, true);
    }
    throw ENetHTTPProtocolException(response_.ResponseText, response_.ResponseCode, body);
}

bool TNetCustomHTTP::KeepAliveVerdict()
{
    if (!hasResponse_)
        return false;
    CheckForDisconnect(false);
    bool open = transportConnected();
    if (!open)
        return false;
    std::string connection = upper(TrimBlanks(response_.Connection));
    std::string proxyConnection = upper(TrimBlanks(response_.ProxyConnection));
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
    if (exchangeTimeout_ > 0)
        deadline = TNetClock::now() + std::chrono::milliseconds(exchangeTimeout_);
    SetDeadline(deadline);
    try {
        prepareRequest(location);
        chooseConnection();
        connectIfNeeded();
        sendRequest(method);
        readResponseHead();

        int code = response_.ResponseCode;
        int statusClass = code / 100;
        if ((statusClass == 3 && code != 304) || !response_.Location.empty()) {
            std::string target = response_.Location;
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
