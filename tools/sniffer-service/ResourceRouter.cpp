#include "ResourceRouter.h"

ResourceRouter::ResourceRouter(ServiceResources resources)
    : routes_ {
        { "/", std::move(resources.snapshot), "" },
        { "/average/1", std::move(resources.lastSecond), "" },
        { "/history", std::move(resources.history), "", std::move(resources.historyPieces) },
        { "/ip", std::move(resources.names), "" },
        { "/metrics", std::move(resources.metrics), "text/plain; version=0.0.4; charset=utf-8" },
    }
    , allowClient_(std::move(resources.allowClient))
{
}

ResourceAnswer ResourceRouter::answer(std::string_view method, std::string_view target, const HostAddress& client) const
{
    if (allowClient_ && !allowClient_(client.text()))
        return { 403, "forbidden\n" };
    if (method != "GET" && method != "HEAD")
        return { 405, "only GET is served\n" };
    // A query changes nothing: every resource is the whole current text.
    std::string_view path = target.substr(0, target.find('?'));
    for (const auto& route : routes_) {
        if (path != route.path)
            continue;
        if (!route.body && !route.pieces)
            break;
        try {
            if (route.pieces)
                return { 200, {}, route.contentType, route.pieces() };
            return { 200, route.body(), route.contentType };
        } catch (const std::exception&) {
            return { 500, "internal error\n" };
        }
    }
    return { 404, "not found\n" };
}
