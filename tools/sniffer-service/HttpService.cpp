#include "HttpService.h"

#include "HttpConnection.h"
#include "ResourceRouter.h"
#include "base/Exception.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <atomic>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

HostAddress hostAddress(const asio::ip::address& a)
{
    if (a.is_v4())
        return HostAddress::fromIPv4(a.to_v4().to_uint());
    auto v6 = a.to_v6();
    if (v6.is_v4_mapped())
        return HostAddress::fromIPv4(asio::ip::make_address_v4(asio::ip::v4_mapped, v6).to_uint());
    auto bytes = v6.to_bytes();
    return HostAddress::fromIPv6(bytes.data());
}

} // namespace

// The listener, the connection count per client address, and the threads that run them all.
class HttpService::Server {
public:
    Server(ServiceResources resources, HttpLimits limits)
        : limits_(limits)
        , router_(std::move(resources))
    {
    }
    ~Server()
    {
        // Connections still queued in the context call back into the table when it drops them.
        stop();
    }

    int bind(const std::string& host, int port)
    {
        boost::system::error_code e;
        tcp::resolver resolver(context_);
        auto found = resolver.resolve(host, std::to_string(port), tcp::resolver::passive, e);
        if (e || found.empty())
            throw Exception("cannot listen on " + host + ":" + std::to_string(port) + ": " + e.message());
        tcp::endpoint at = found.begin()->endpoint();
        acceptor_.open(at.protocol(), e);
        if (!e)
            acceptor_.set_option(tcp::acceptor::reuse_address(true), e);
        if (!e)
            acceptor_.bind(at, e);
        if (!e)
            acceptor_.listen(asio::socket_base::max_listen_connections, e);
        if (e) {
            boost::system::error_code ignored;
            acceptor_.close(ignored);
            throw Exception("cannot listen on " + host + ":" + std::to_string(port) + ": " + e.message());
        }
        return acceptor_.local_endpoint().port();
    }

    void run()
    {
        if (!stopping_)
            accept();
        unsigned count = limits_.threads;
        if (count == 0)
            count = std::max(2u, std::min(4u, std::thread::hardware_concurrency()));
        running_ = true;
        std::vector<std::thread> others;
        for (unsigned i = 1; i < count; ++i)
            others.emplace_back([this] { serve(); });
        serve();
        for (auto& t : others)
            t.join();
        running_ = false;
    }

    bool running() const { return running_; }

    void stop()
    {
        if (stopping_.exchange(true))
            return;
        asio::post(context_, [this] {
            boost::system::error_code ignored;
            acceptor_.close(ignored);
            retry_.cancel();
            // Dropping the last hold on a connection takes the lock, so none is dropped under it.
            std::vector<std::shared_ptr<HttpConnection>> open;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (auto& [connection, weak] : open_)
                    if (auto held = weak.lock())
                        open.push_back(std::move(held));
            }
            for (auto& connection : open)
                connection->close();
        });
    }

private:
    void serve()
    {
        // Ends when the listener and every connection are closed.
        for (;;) {
            try {
                context_.run();
                return;
            } catch (const std::exception& e) {
                std::cerr << "sniffer-service: " << e.what() << "\n";
            }
        }
    }

    void accept()
    {
        acceptor_.async_accept(asio::make_strand(context_), [this](boost::system::error_code e, tcp::socket socket) {
            if (stopping_ || e == asio::error::operation_aborted)
                return;
            if (e) {
                // Out of descriptors or memory: try again shortly instead of spinning.
                retry_.expires_after(std::chrono::milliseconds(100));
                retry_.async_wait([this](boost::system::error_code waited) {
                    if (!waited && !stopping_)
                        accept();
                });
                return;
            }
            admit(std::move(socket));
            accept();
        });
    }

    void admit(tcp::socket socket)
    {
        boost::system::error_code e;
        auto remote = socket.remote_endpoint(e);
        if (e)
            return;
        HostAddress client = hostAddress(remote.address());
        // Outlives the lock: when the connection has already ended, this is the last hold on it.
        std::shared_ptr<HttpConnection> connection;
        std::lock_guard<std::mutex> lock(mutex_);
        // A stop that closed the others while this one was being accepted must not miss it.
        if (stopping_)
            return refuse(socket);
        size_t& fromClient = perAddress_[client];
        if (fromClient >= limits_.connectionsPerAddress || open_.size() >= limits_.connections) {
            if (fromClient == 0)
                perAddress_.erase(client);
            return refuse(socket);
        }
        ++fromClient;
        connection = std::make_shared<HttpConnection>(
            std::move(socket), router_, limits_, client, [this, client](HttpConnection* c) {
                std::lock_guard<std::mutex> lock(mutex_);
                open_.erase(c);
                if (--perAddress_[client] == 0)
                    perAddress_.erase(client);
            });
        open_.emplace(connection.get(), connection);
        connection->start();
    }

    // One try to say why, never waiting for the client; then the connection is closed.
    static void refuse(tcp::socket& socket)
    {
        static const std::string busy = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
                                        "Content-Length: 21\r\nConnection: close\r\n\r\ntoo many connections\n";
        boost::system::error_code ignored;
        socket.non_blocking(true, ignored);
        socket.send(asio::buffer(busy), 0, ignored);
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }

    const HttpLimits limits_;
    const ResourceRouter router_;
    std::mutex mutex_;
    std::map<HostAddress, size_t> perAddress_;
    std::unordered_map<HttpConnection*, std::weak_ptr<HttpConnection>> open_;
    // Declared after what connections use, so that dropping the queued ones finds it still there.
    asio::io_context context_;
    tcp::acceptor acceptor_ { context_ };
    asio::steady_timer retry_ { context_ };
    std::atomic<bool> stopping_ { false };
    std::atomic<bool> running_ { false };
};

HttpService::HttpService(ServiceResources resources, HttpLimits limits)
    : server_(std::make_unique<Server>(std::move(resources), limits))
{
}

HttpService::~HttpService() = default;

int HttpService::bind(const std::string& host, int port)
{
    return server_->bind(host, port);
}

void HttpService::run()
{
    server_->run();
}

bool HttpService::waitUntilRunning(std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!server_->running()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void HttpService::stop()
{
    server_->stop();
}
