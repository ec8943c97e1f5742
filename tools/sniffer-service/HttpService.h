#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// Gives a body piece by piece while it is sent: each call appends the next piece to an empty
// string, and a call that appends nothing ends the body. Runs on the connection's strand; may raise,
// which cuts the answer off.
using BodyPieces = std::function<void(std::string& piece)>;

// What the resources answer; each call gives a complete body.
struct ServiceResources {
    std::function<std::string()> snapshot; // "/": rates over 5 seconds
    std::function<std::string()> lastSecond; // "/average/1"
    std::function<std::string()> history; // "/history"
    std::function<std::string()> names; // "/ip"
    std::function<std::string()> metrics; // "/metrics", Prometheus text format
    // Whether the client with this numeric address is served; the others get 403. Unset: all are.
    std::function<bool(const std::string& clientAddress)> allowClient;
    // When set, "/history" is sent from these pieces instead, with chunked transfer (to HTTP/1.0
    // clients: until the close), so that its text is never held whole.
    std::function<BodyPieces()> historyPieces = nullptr;
};

// What one client may cost the service and how long it may hold a connection. The defaults let a
// monitor poll once a second for as long as it runs, while a client that trickles, stalls or
// floods is closed instead of holding the service.
struct HttpLimits {
    // A request (head and any body) must arrive whole within this, counted from its first byte.
    std::chrono::milliseconds requestDeadline { 5000 };
    // A kept-alive connection with no request under way is closed after this.
    std::chrono::milliseconds idleLimit { 10000 };
    // An answer the client does not take within this closes the connection; a body sent in pieces
    // is one answer.
    std::chrono::milliseconds writeDeadline { 10000 };
    size_t connectionsPerAddress = 32;
    size_t connections = 4000;
    size_t headBytes = 8 * 1024;
    size_t bodyBytes = 8 * 1024;
    // Threads that serve connections; 0 picks from the processor count.
    unsigned threads = 0;
};

// Serves the resources over HTTP/1.1 with keep-alive and Content-Length (or chunks, for a body
// given in pieces). Other paths get 404,
// malformed requests 400, other methods 405. Pipelined requests are answered in order; a Range
// header is ignored, so every answer is one whole body.
class HttpService {
public:
    explicit HttpService(ServiceResources resources, HttpLimits limits = {});
    ~HttpService();

    // Raises Exception when the address cannot be bound; returns the bound port (useful with 0).
    int bind(const std::string& host, int port);
    // Serves until stop(); call after bind.
    void run();
    // True once run() serves; a stop() that comes earlier still ends run() at once.
    bool waitUntilRunning(std::chrono::milliseconds limit);
    // Closes the listener and every connection, whatever the clients are doing; run() returns soon
    // after.
    void stop();

private:
    class Server;
    std::unique_ptr<Server> server_;
};
