#pragma once

#include "base/Exception.h"

#include <string>

// Placeholder client until the HTTP client lands.
class TNetIOHandler {
public:
    virtual ~TNetIOHandler() = default;
};

class TNetHTTP {
public:
    ~TNetHTTP() { delete handler_; }
    void SetConnectTimeout(int) {}
    void SetReadTimeout(int) {}
    void Get(const std::string&, std::string&) { throw Exception("Not Connected"); }
    bool KeepAliveVerdict() { return false; }
    TNetIOHandler* IOHandler() const { return handler_; }
    void SetIOHandler(TNetIOHandler* h) { handler_ = h; }
    void Disconnect() {}

private:
    TNetIOHandler* handler_ = nullptr;
};
