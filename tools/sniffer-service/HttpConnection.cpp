#include "HttpConnection.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

constexpr const char* TextType = "text/plain; charset=ISO-8859-1";

bool isParseError(const beast::error_code& e)
{
    return e.category() == http::make_error_code(http::error::bad_method).category();
}

} // namespace

HttpConnection::HttpConnection(asio::ip::tcp::socket socket, const ResourceRouter& router, const HttpLimits& limits,
    HostAddress client, Closed closed)
    : m_stream(std::move(socket))
    // Holds the head and body being read plus one read ahead, whatever a client sends.
    , m_buffer(limits.headBytes + limits.bodyBytes + 64 * 1024)
    , m_router(router)
    , m_limits(limits)
    , m_client(client)
    , m_closed(std::move(closed))
{
}

HttpConnection::~HttpConnection()
{
    if (m_closed)
        m_closed(this);
}

void HttpConnection::start()
{
    asio::dispatch(m_stream.get_executor(), [self = shared_from_this()] { self->waitForRequest(); });
}

void HttpConnection::close()
{
    asio::post(m_stream.get_executor(), [self = shared_from_this()] { self->finish(); });
}

void HttpConnection::waitForRequest()
{
    // Bytes of a pipelined request may already be here; the request deadline starts with them.
    if (m_buffer.size() > 0)
        return readRequest();
    m_stream.expires_after(m_limits.idleLimit);
    m_stream.async_read_some(
        m_buffer.prepare(m_limits.headBytes), [self = shared_from_this()](beast::error_code e, size_t n) {
            if (e)
                return self->finish();
            self->m_buffer.commit(n);
            self->readRequest();
        });
}

void HttpConnection::readRequest()
{
    m_parser.emplace();
    m_parser->header_limit(uint32_t(m_limits.headBytes));
    m_parser->body_limit(uint64_t(m_limits.bodyBytes));
    m_stream.expires_after(m_limits.requestDeadline);
    http::async_read(m_stream, m_buffer, *m_parser,
        [self = shared_from_this()](beast::error_code e, size_t) { self->onRequest(e); });
}

void HttpConnection::onRequest(beast::error_code e)
{
    if (e == http::error::header_limit)
        return answer({ 431, "request head too large\n" }, false, false);
    if (e == http::error::body_limit)
        return answer({ 413, "request too large\n" }, false, false);
    // A client that closed in mid-request, ran out of time or vanished gets nothing more.
    if (e == http::error::partial_message || e == http::error::end_of_stream || (e && !isParseError(e)))
        return finish();
    if (e)
        return answer({ 400, "bad request\n" }, false, false);

    const auto& request = m_parser->get();
    auto method = request.method_string();
    auto result = m_router.answer(std::string_view(method.data(), method.size()),
        std::string_view(request.target().data(), request.target().size()), m_client);
    answer(std::move(result), request.keep_alive(), request.method() == http::verb::head);
}

void HttpConnection::answer(ResourceAnswer result, bool keepAlive, bool headOnly)
{
    m_response = {};
    m_response.version(11);
    m_response.result(unsigned(result.status));
    m_response.set(http::field::content_type, *result.contentType ? result.contentType : TextType);
    if (result.status == 405)
        m_response.set(http::field::allow, "GET, HEAD");
    size_t length = result.body.size();
    if (!headOnly)
        m_response.body() = std::move(result.body);
    m_response.content_length(length);
    m_response.keep_alive(keepAlive);
    m_stream.expires_after(m_limits.writeDeadline);
    http::async_write(
        m_stream, m_response, [self = shared_from_this()](beast::error_code e, size_t) { self->onWritten(e); });
}

void HttpConnection::onWritten(beast::error_code e)
{
    if (e)
        return finish();
    if (!m_response.keep_alive())
        return closeAfterAnswer();
    m_response = {};
    waitForRequest();
}

void HttpConnection::closeAfterAnswer()
{
    // Closing with unread request bytes would reset the connection and could take the answer with
    // it, so the sending side closes first and what still comes in is read and dropped, briefly.
    beast::error_code ignored;
    m_stream.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    m_stream.expires_after(std::chrono::seconds(1));
    drain();
}

void HttpConnection::drain()
{
    m_stream.async_read_some(asio::buffer(m_discard), [self = shared_from_this()](beast::error_code e, size_t) {
        if (e)
            return self->finish();
        self->drain();
    });
}

void HttpConnection::finish()
{
    beast::error_code ignored;
    m_stream.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_stream.close();
}
