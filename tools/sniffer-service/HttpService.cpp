#include "HttpService.h"

#include "base/Exception.h"

#include <httplib.h>
#include <sys/socket.h>
#include <thread>

namespace {

constexpr const char* TextType = "text/plain; charset=ISO-8859-1";

} // namespace

HttpService::HttpService(ServiceResources resources)
    : m_server(std::make_unique<httplib::Server>())
    , m_resources(std::move(resources))
{
    auto& s = *m_server;
    // The monitor polls once a second over one connection for as long as it runs.
    s.set_keep_alive_max_count(1u << 30);
    s.set_keep_alive_timeout(10);
    s.set_read_timeout(10);
    s.set_write_timeout(10);
    s.set_payload_max_length(64 * 1024);
    s.set_tcp_nodelay(true);
    // The library's default adds SO_REUSEPORT, which would let a second service share a port that
    // is in use instead of failing; a restart only needs SO_REUSEADDR.
    s.set_socket_options([](int fd) {
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    auto serve = [](std::function<std::string()> body, const char* type = TextType) {
        return [body = std::move(body), type](
                   const httplib::Request&, httplib::Response& res) { res.set_content(body(), type); };
    };
    s.Get("/", serve(m_resources.snapshot));
    s.Get("/average/1", serve(m_resources.lastSecond));
    s.Get("/history", serve(m_resources.history));
    s.Get("/ip", serve(m_resources.names));
    if (m_resources.metrics)
        s.Get("/metrics", serve(m_resources.metrics, "text/plain; version=0.0.4; charset=utf-8"));
    if (m_resources.allowClient)
        s.set_pre_routing_handler(
            [allow = m_resources.allowClient](const httplib::Request& req, httplib::Response& res) {
                if (allow(req.remote_addr))
                    return httplib::Server::HandlerResponse::Unhandled;
                res.status = 403;
                res.set_content("forbidden\n", TextType);
                return httplib::Server::HandlerResponse::Handled;
            });

    auto refuse = [](const httplib::Request&, httplib::Response& res) {
        res.status = 405;
        res.set_header("Allow", "GET, HEAD");
    };
    s.Post(".*", refuse);
    s.Put(".*", refuse);
    s.Patch(".*", refuse);
    s.Delete(".*", refuse);

    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        const char* text = res.status == 404 ? "not found\n"
            : res.status == 405              ? "only GET is served\n"
            : res.status == 400              ? "bad request\n"
                                             : "request refused\n";
        res.set_content(text, TextType);
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("internal error\n", TextType);
    });
}

HttpService::~HttpService()
{
    stop();
}

int HttpService::bind(const std::string& host, int port)
{
    if (port == 0) {
        int bound = m_server->bind_to_any_port(host);
        if (bound <= 0)
            throw Exception("cannot listen on " + host + ": no free port");
        return bound;
    }
    if (!m_server->bind_to_port(host, port))
        throw Exception("cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno));
    return port;
}

void HttpService::run()
{
    m_server->listen_after_bind();
}

bool HttpService::waitUntilRunning(std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!m_server->is_running()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void HttpService::stop()
{
    if (m_server)
        m_server->stop();
}
