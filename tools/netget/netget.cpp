// Fetches locations in order the way the monitor does, to check a service from the command line:
// one client kept across fetches, a fresh one after any failure, the monitor's time limits.
#include "net/NetExceptions.h"
#include "net/NetHTTP.h"
#include "net/NetSSLIOHandlerSocket.h"

#include <cstdio>
#include <cxxabi.h>
#include <iostream>
#include <memory>
#include <string>
#include <strings.h>
#include <typeinfo>
#include <vector>

namespace {
const char* const Usage = "Usage: netget [--body] URL...\n"
                          "Fetches each URL in turn (http or https) with the monitor's client and time limits\n"
                          "and prints its outcome, status line, body size and keep-alive verdict.\n\n"
                          "Options:\n"
                          "  --body     print each body after its outcome\n"
                          "  --help     print this text and exit\n"
                          "  --version  print the version and exit\n"
                          "The exit status is 1 when any fetch failed, 2 for a wrong command line.\n";

std::string className(const std::exception& e)
{
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string text = status == 0 && name ? name : typeid(e).name();
    std::free(name);
    return text;
}

std::unique_ptr<TNetHTTP> newClient()
{
    auto client = std::make_unique<TNetHTTP>();
    return client;
}

void prepareTransport(TNetHTTP& client, const std::string& location)
{
    if (strncasecmp(location.c_str(), "https:", 6) != 0)
        return;
    if (dynamic_cast<TNetSSLIOHandlerSocket*>(client.IOHandler()))
        return;
    // A plain connection kept from an http fetch gives way to a TLS transport.
    client.Disconnect();
    client.SetIOHandler(new TNetSSLIOHandlerSocket);
}

int localPort(const TNetHTTP& client)
{
    auto* socket = dynamic_cast<TNetIOHandlerSocket*>(client.IOHandler());
    return socket && socket->Binding() ? socket->Binding()->Port : 0;
}
} // namespace

int main(int argc, char** argv)
{
    bool printBody = false;
    std::vector<std::string> locations;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--body")
            printBody = true;
        else if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "netget " QTM_VERSION "\n";
            return 0;
        } else
            locations.push_back(arg);
    }
    if (locations.empty()) {
        std::cerr << Usage;
        return 2;
    }

    int failures = 0;
    std::unique_ptr<TNetHTTP> client;
    for (const std::string& location : locations) {
        if (!client)
            client = newClient();
        std::string body;
        std::string result = "ok";
        bool failed = false;
        try {
            prepareTransport(*client, location);
            client->SetConnectTimeout(750);
            client->SetReadTimeout(2000);
            client->Get(location, body);
        } catch (const std::exception& e) {
            result = className(e) + ": " + e.what();
            failed = true;
        }
        bool keepAlive = client->KeepAliveVerdict();
        std::cout << location << "\n"
                  << "  result: " << result << "\n"
                  << "  status: " << client->ResponseText() << "\n"
                  << "  bytes: " << body.size() << "\n"
                  << "  keep-alive: " << (keepAlive ? "ON" : "OFF") << "\n"
                  << "  local port: " << localPort(*client) << "\n";
        if (printBody)
            std::cout << body << (body.empty() || body.back() == '\n' ? "" : "\n");
        std::cout.flush();
        if (failed) {
            ++failures;
            client.reset();
        }
    }
    return failures == 0 ? 0 : 1;
}
