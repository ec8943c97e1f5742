#pragma once

#include "net/NetTCPConnection.h"

#include <string>

// The connection's client side: where to connect, and the connect with its time limit.
class TNetTCPClient : public TNetTCPConnection {
public:
    virtual void SetHost(const std::string& host) { m_host = host; }
    virtual void SetPort(int port) { m_port = port; }
    virtual void DoOnConnected() { }
    virtual void Connect(int timeoutMs = -1);

    const std::string& Host() const { return m_host; }
    int Port() const { return m_port; }

private:
    std::string m_host;
    int m_port = 0;
};
