#include "HttpConnection.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <cstdio>

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
    bool headOnly = request.method() == http::verb::head;
    if (result.pieces)
        // An HTTP/1.0 client knows no chunks: it reads such a body until the close.
        return answerInPieces(std::move(result), request.keep_alive(), headOnly, request.version() >= 11);
    answer(std::move(result), request.keep_alive(), headOnly);
}

void HttpConnection::answer(ResourceAnswer result, bool keepAlive, bool headOnly)
{
    m_keepAlive = keepAlive;
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

void HttpConnection::answerInPieces(ResourceAnswer result, bool keepAlive, bool headOnly, bool chunked)
{
    m_chunked = chunked;
    m_keepAlive = keepAlive && chunked;
    m_pieces = headOnly ? BodyPieces() : std::move(result.pieces);
    m_piecesHead = {};
    m_piecesHead.version(11);
    m_piecesHead.result(unsigned(result.status));
    m_piecesHead.set(http::field::content_type, *result.contentType ? result.contentType : TextType);
    // A HEAD answer says how the body would come without making any of it.
    m_piecesHead.chunked(chunked);
    m_piecesHead.keep_alive(m_keepAlive);
    m_headWriter.emplace(m_piecesHead);
    // One deadline for the whole answer, however many pieces it takes, so that a client reading
    // slowly holds its connection no longer than with a built body.
    m_stream.expires_after(m_limits.writeDeadline);
    http::async_write_header(m_stream, *m_headWriter, [self = shared_from_this()](beast::error_code e, size_t) {
        if (e || !self->m_pieces)
            return self->onWritten(e);
        self->writePiece();
    });
}

void HttpConnection::writePiece()
{
    static const char lineEnd[] = "\r\n";
    static const char lastChunk[] = "0\r\n\r\n";
    m_piece.clear();
    try {
        m_pieces(m_piece);
    } catch (const std::exception&) {
        // The head is out: a close in mid-body is what tells the client that the answer failed.
        return finish();
    }
    const bool last = m_piece.empty();
    std::array<asio::const_buffer, 3> buffers;
    size_t count = 0;
    if (m_chunked && last) {
        buffers[count++] = asio::buffer(lastChunk, sizeof lastChunk - 1);
    } else if (m_chunked) {
        // The size line carries no extension: some clients read "size;extension" as the end.
        int length = std::snprintf(m_chunkSize, sizeof m_chunkSize, "%zx\r\n", m_piece.size());
        buffers[count++] = asio::buffer(m_chunkSize, size_t(length));
        buffers[count++] = asio::buffer(m_piece);
        buffers[count++] = asio::buffer(lineEnd, 2);
    } else if (!last) {
        buffers[count++] = asio::buffer(m_piece);
    }
    if (count == 0)
        return onWritten({});
    asio::async_write(m_stream, buffers, [self = shared_from_this(), last](beast::error_code e, size_t) {
        if (e || last)
            return self->onWritten(e);
        self->writePiece();
    });
}

void HttpConnection::onWritten(beast::error_code e)
{
    m_pieces = nullptr;
    m_piece = {};
    m_headWriter.reset();
    if (e)
        return finish();
    if (!m_keepAlive)
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
