#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

// What the resources answer; each call gives a complete body.
struct ServiceResources {
    std::function<std::string()> snapshot; // "/": rates over 5 seconds
    std::function<std::string()> lastSecond; // "/average/1"
    std::function<std::string()> history; // "/history"
    std::function<std::string()> names; // "/ip"
    std::function<std::string()> metrics; // "/metrics", Prometheus text format
    // Whether the client with this numeric address is served; the others get 403. Unset: all are.
    std::function<bool(const std::string& clientAddress)> allowClient;
};

// Serves the resources over HTTP/1.1 with keep-alive and Content-Length. Other paths get 404,
// malformed requests 400, other methods 405.
class HttpService {
public:
    explicit HttpService(ServiceResources resources);
    ~HttpService();

    // Raises Exception when the address cannot be bound; returns the bound port (useful with 0).
    int bind(const std::string& host, int port);
    // Serves until stop(); call after bind.
    void run();
    // A stop() before the server loop has started would be lost, so starters wait for it.
    bool waitUntilRunning(std::chrono::milliseconds limit);
    void stop();

private:
    std::unique_ptr<httplib::Server> m_server;
    ServiceResources m_resources;
};
