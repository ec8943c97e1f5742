#pragma once

#include "HostAddress.h"

#include <string>

// Who may read the service: on a loopback address only local programs can connect, so all are
// served; on any other address only clients in the allow list are.
class ClientAccess {
public:
    ClientAccess(const std::string& listenHost, NetworkList allow);

    bool allows(const std::string& clientAddress) const;
    bool everyoneAllowed() const { return everyone_; }

    static bool IsLoopback(const std::string& host);

private:
    bool everyone_;
    NetworkList allow_;
};
