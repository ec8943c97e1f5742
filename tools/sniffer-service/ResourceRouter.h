#pragma once

#include "HostAddress.h"
#include "HttpService.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The status and body of one answer, before any HTTP framing.
struct ResourceAnswer {
    int status = 200;
    std::string body;
    // Empty: the service's plain single-byte text.
    const char* contentType = "";
    // Set: the body comes from these pieces, and body is unused.
    BodyPieces pieces = nullptr;
};

// Decides what a request gets, from its method, target and the client's address; knows nothing of
// connections, so that every request path can be tried without a socket.
class ResourceRouter {
public:
    explicit ResourceRouter(ServiceResources resources);

    ResourceAnswer answer(std::string_view method, std::string_view target, const HostAddress& client) const;

private:
    struct Route {
        std::string path;
        std::function<std::string()> body;
        const char* contentType;
        std::function<BodyPieces()> pieces = nullptr;
    };
    std::vector<Route> routes_;
    std::function<bool(const std::string&)> allowClient_;
};
