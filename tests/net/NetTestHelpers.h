#pragma once

#include "net/NetHTTP.h"
#include "support/ScriptedServer.h"

#include <chrono>
#include <exception>
#include <functional>
#include <string>

namespace qtm_test {

inline std::string LocalUrl(const TScriptedServer& server, const std::string& path = "/")
{
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

inline std::string Response(const std::string& body, const std::string& extraHeaders = "")
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

// A client set up the way the monitor sets up its own.
inline void ConfigureLikeMonitor(TNetHTTP& client)
{
    client.SetConnectTimeout(750);
    client.SetReadTimeout(2000);
}

inline long long MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The message action fails with, or "no failure".
inline std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no failure";
}

} // namespace qtm_test
