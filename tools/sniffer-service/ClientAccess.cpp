#include "ClientAccess.h"

ClientAccess::ClientAccess(const std::string& listenHost, NetworkList allow)
    : everyone_(IsLoopback(listenHost))
    , allow_(std::move(allow))
{
}

bool ClientAccess::IsLoopback(const std::string& host)
{
    if (host == "localhost")
        return true;
    auto address = HostAddress::parse(host);
    if (!address)
        return false;
    static const NetworkList loopback = *NetworkList::parse("127.0.0.0/8,::1");
    return loopback.contains(*address);
}

bool ClientAccess::allows(const std::string& clientAddress) const
{
    if (everyone_)
        return true;
    // An unreadable peer address is nobody we know.
    auto address = HostAddress::parse(clientAddress);
    return address && allow_.contains(*address);
}
