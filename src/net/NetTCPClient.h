#pragma once

#include "net/NetTCPConnection.h"

#include <string>

// The connection's client side: where to connect, and the connect with its time limit.
class TNetTCPClient : public TNetTCPConnection {
public:
    virtual void SetHost(const std::string& host) { host_ = host; }
    virtual void SetPort(int port) { port_ = port; }
    virtual void DoOnConnected() { }
    virtual void Connect(int timeoutMs = -1);

    const std::string& Host() const { return host_; }
    int Port() const { return port_; }

private:
    std::string host_;
    int port_ = 0;
};
