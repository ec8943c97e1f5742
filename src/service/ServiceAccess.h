#pragma once

#include "service/FetchPace.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TNetHTTP;
class TStringList;

// The monitor's way to the service and the name list: one HTTP client, created on demand and kept
// alive between fetches, with the monitor's limits, or a file read for a location that is no URL.
// Every fetch failure is absorbed here; a failed fetch drops the client so the next starts afresh.
class TServiceAccess {
public:
    // Told, after each fetch over HTTP that succeeded, whether the server kept the connection.
    using TKeepAliveHandler = std::function<void(bool keptAlive)>;
    // Given each line as it arrives; answers false to stop the fetch there.
    using TLineReader = std::function<bool(std::string_view line)>;

    TServiceAccess();
    ~TServiceAccess();
    TServiceAccess(const TServiceAccess&) = delete;
    TServiceAccess& operator=(const TServiceAccess&) = delete;

    void OnKeepAlive(TKeepAliveHandler handler) { onKeepAlive_ = std::move(handler); }

    // The resource's lines in target, answering whether they were fetched: on a failed fetch over
    // HTTP target stays as it was, and a file that cannot be read leaves it empty.
    bool FetchLines(const std::string& location, TStringList& target);
    // Hands the resource's lines to the reader as they arrive, until it answers false; for the
    // history, which is too large to hold whole. What the reader raises reaches the caller.
    void FetchLineStream(const std::string& location, const TLineReader& onLine);

    // Closes the connection and forgets the client.
    void Discard();
    // The client of the fetches so far, or null before the first or after a failure.
    TNetHTTP* HttpClient() const { return client_.get(); }
    // Gives the access a client of the caller's making (a test's transport), replacing its own.
    void SetHttpClient(std::unique_ptr<TNetHTTP> client);

    // How fetches have held the window: fetches that no user asked for wait on it.
    TFetchPace& Pace() { return pace_; }

private:
    TNetHTTP& prepareClient(const std::string& location, size_t maxBodyBytes, int fetchMs);
    void reportKeepAlive();

    std::unique_ptr<TNetHTTP> client_;
    TKeepAliveHandler onKeepAlive_;
    // A fetch that outlasts the poll period counts as slow; the window then gets a quarter second
    // to itself before the next poll or name load.
    TFetchPace pace_ { std::chrono::milliseconds(1000), std::chrono::milliseconds(250) };
};
