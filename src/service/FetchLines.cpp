#include "app/SnifferMainForm.h"

#include "base/StringList.h"
#include "service/FetchLimits.h"
#include "service/LineSplitting.h"
#include "service/ResourceLocation.h"
#include "service/http/NetHTTP.h"
#include "service/http/NetSSLIOHandlerSocket.h"

#include <QLabel>

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
} // namespace

void TSnifferMainForm::FetchLines(const std::string& location, TStringList& target)
{
    if (!IsHttpLocation(location)) {
        target.Clear();
        std::string content;
        if (ReadSharedFile(location, content))
            ReplaceLines(content, target);
        return;
    }
    std::string body;
    try {
        if (!HttpClient)
            HttpClient = new TNetHTTP();
        if (IsHttpsLocation(location) && !dynamic_cast<TNetSSLIOHandlerSocket*>(HttpClient->IOHandler())) {
            // A plain connection kept alive from an earlier fetch cannot carry https: close it and
            // give the client a TLS transport, which it keeps from then on.
            HttpClient->Disconnect();
            HttpClient->SetIOHandler(new TNetSSLIOHandlerSocket());
        }
        HttpClient->SetConnectTimeout(750);
        HttpClient->SetReadTimeout(2000);
        HttpClient->SetMaxBodySize(FetchLimits().MaxBodyBytes);
        HttpClient->Get(location, body);
        lblKeepAlive->setText(HttpClient->KeepAliveVerdict() ? "KeepAlive ON" : "KeepAlive OFF");
    } catch (const std::exception&) {
        // Every fetch failure is absorbed: the target stays as it was and the next fetch starts afresh.
        DiscardHttpClient();
        return;
    }
    ReplaceLines(body, target);
}

void TSnifferMainForm::FetchLineStream(const std::string& location, const TLineReader& onLine)
{
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
        if (!HttpClient)
            HttpClient = new TNetHTTP();
        if (IsHttpsLocation(location) && !dynamic_cast<TNetSSLIOHandlerSocket*>(HttpClient->IOHandler())) {
            HttpClient->Disconnect();
            HttpClient->SetIOHandler(new TNetSSLIOHandlerSocket());
        }
        HttpClient->SetConnectTimeout(750);
        HttpClient->SetReadTimeout(2000);
        HttpClient->SetMaxBodySize(FetchLimits().MaxHistoryBytes);
        TLineSink sink(splitter);
        HttpClient->Get(location, sink);
        splitter.Finish();
        lblKeepAlive->setText(HttpClient->KeepAliveVerdict() ? "KeepAlive ON" : "KeepAlive OFF");
    } catch (const std::exception&) {
        // As in FetchLines, a failed fetch is absorbed; the lines read before it stay read. What the
        // reader itself raised is its caller's to handle.
        DiscardHttpClient();
        if (readerFailure)
            std::rethrow_exception(readerFailure);
    }
}
