#include "ResourceRouter.h"

ResourceRouter::ResourceRouter(ServiceResources resources)
    : m_routes {
        { "/", std::move(resources.snapshot) },
        { "/average/1", std::move(resources.lastSecond) },
        { "/history", std::move(resources.history) },
        { "/ip", std::move(resources.names) },
    }
{
}

ResourceAnswer ResourceRouter::answer(
    std::string_view method, std::string_view target, [[maybe_unused]] const HostAddress& client) const
{
    if (method != "GET" && method != "HEAD")
        return { 405, "only GET is served\n" };
    // A query changes nothing: every resource is the whole current text.
    std::string_view path = target.substr(0, target.find('?'));
    for (const auto& [name, body] : m_routes) {
        if (path != name)
            continue;
        if (!body)
            break;
        try {
            return { 200, body() };
        } catch (const std::exception&) {
            return { 500, "internal error\n" };
        }
    }
    return { 404, "not found\n" };
}
