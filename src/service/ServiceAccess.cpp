#include "service/ServiceAccess.h"

#include "base/StringList.h"
#include "net/NetHTTP.h"
#include "net/NetSSLIOHandlerSocket.h"
#include "service/FetchLimits.h"
#include "service/FetchPace.h"
#include "service/LineSplitting.h"
#include "service/ResourceLocation.h"

#include <exception>

namespace {
// Ends a streamed fetch that its reader refused to go on with; it counts as a failed fetch.
class TFetchStopped : public std::exception {
public:
    const char* what() const noexcept override { return "Fetch stopped by its reader"; }
};

class TLineSink : public TNetBodySink {
public:
    explicit TLineSink(TLineSplitter& splitter)
        : splitter_(splitter)
    {
    }
    void Write(std::string_view bytes) override { splitter_.Feed(bytes); }

private:
    TLineSplitter& splitter_;
};
// Tells the pace how long a fetch held the window, on every way out of it.
class TFetchTimer {
public:
    explicit TFetchTimer(TFetchPace& pace)
        : pace_(pace)
        , start_(TFetchPace::Clock::now())
    {
    }
    ~TFetchTimer() { pace_.FetchTook(start_, TFetchPace::Clock::now()); }
    TFetchTimer(const TFetchTimer&) = delete;
    TFetchTimer& operator=(const TFetchTimer&) = delete;

private:
    TFetchPace& pace_;
    TFetchPace::Clock::time_point start_;
};

} // namespace

TServiceAccess::TServiceAccess() = default;
TServiceAccess::~TServiceAccess() = default;

TNetHTTP& TServiceAccess::prepareClient(const std::string& location, size_t maxBodyBytes, int fetchMs)
{
    if (!client_)
        client_ = std::make_unique<TNetHTTP>();
    TNetHTTP& client = *client_;
    if (IsHttpsLocation(location) && !dynamic_cast<TNetSSLIOHandlerSocket*>(client.IOHandler())) {
        // A plain connection kept alive from an earlier fetch cannot carry https: close it and
        // give the client a TLS transport, which it keeps from then on.
        client.Disconnect();
        client.SetIOHandler(new TNetSSLIOHandlerSocket());
    }
    client.SetConnectTimeout(750);
    client.SetReadTimeout(2000);
    client.SetMaxBodySize(maxBodyBytes);
    client.SetExchangeTimeout(fetchMs);
    return client;
}

void TServiceAccess::reportKeepAlive()
{
    if (onKeepAlive_)
        onKeepAlive_(client_->KeepAliveVerdict());
}

void TServiceAccess::Discard()
{
    client_.reset();
}

void TServiceAccess::SetHttpClient(std::unique_ptr<TNetHTTP> client)
{
    client_ = std::move(client);
}
bool TServiceAccess::FetchLines(const std::string& location, TStringList& target)
{
    TFetchTimer timer(pace_);
    if (!IsHttpLocation(location)) {
        target.Clear();
        std::string content;
        if (!ReadSharedFile(location, content))
            return false;
        ReplaceLines(content, target);
        return true;
    }
    std::string body;
    try {
        const TFetchLimits& limits = FetchLimits();
        prepareClient(location, limits.MaxBodyBytes, limits.FetchMs).Get(location, body);
        reportKeepAlive();
    } catch (const std::exception&) {
        // Every fetch failure is absorbed: the target stays as it was and the next fetch starts afresh.
        Discard();
        return false;
    }
    ReplaceLines(body, target);
    return true;
}

void TServiceAccess::FetchLineStream(const std::string& location, const TLineReader& onLine)
{
    TFetchTimer timer(pace_);
    std::exception_ptr readerFailure;
    TLineSplitter splitter([&](std::string_view line) {
        bool more;
        try {
            more = onLine(line);
        } catch (...) {
            readerFailure = std::current_exception();
            throw;
        }
        if (!more)
            throw TFetchStopped();
    });
    if (!IsHttpLocation(location)) {
        std::string content;
        try {
            if (ReadSharedFile(location, content)) {
                splitter.Feed(content);
                splitter.Finish();
            }
        } catch (const TFetchStopped&) {
        }
        return;
    }
    try {
        TLineSink sink(splitter);
        const TFetchLimits& limits = FetchLimits();
        prepareClient(location, limits.MaxHistoryBytes, limits.HistoryFetchMs).Get(location, sink);
        splitter.Finish();
        reportKeepAlive();
    } catch (const std::exception&) {
        // As in FetchLines, a failed fetch is absorbed; the lines read before it stay read. What the
        // reader itself raised is its caller's to handle.
        Discard();
        if (readerFailure)
            std::rethrow_exception(readerFailure);
    }
}
