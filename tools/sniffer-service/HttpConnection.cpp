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
    : stream_(std::move(socket))
    // Holds the head and body being read plus one read ahead, whatever a client sends.
    , buffer_(limits.headBytes + limits.bodyBytes + 64 * 1024)
    , router_(router)
    , limits_(limits)
    , client_(client)
    , closed_(std::move(closed))
{
}

HttpConnection::~HttpConnection()
{
    if (closed_)
        closed_(this);
}

void HttpConnection::start()
{
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->waitForRequest(); });
}

void HttpConnection::close()
{
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->finish(); });
}

void HttpConnection::waitForRequest()
{
    // Bytes of a pipelined request may already be here; the request deadline starts with them.
    if (buffer_.size() > 0)
        return readRequest();
    stream_.expires_after(limits_.idleLimit);
    stream_.async_read_some(
        buffer_.prepare(limits_.headBytes), [self = shared_from_this()](beast::error_code e, size_t n) {
            if (e)
                return self->finish();
            self->buffer_.commit(n);
            self->readRequest();
        });
}

void HttpConnection::readRequest()
{
    parser_.emplace();
    parser_->header_limit(uint32_t(limits_.headBytes));
    parser_->body_limit(uint64_t(limits_.bodyBytes));
    stream_.expires_after(limits_.requestDeadline);
    http::async_read(
        stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code e, size_t) { self->onRequest(e); });
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

    const auto& request = parser_->get();
    auto method = request.method_string();
    auto result = router_.answer(std::string_view(method.data(), method.size()),
        std::string_view(request.target().data(), request.target().size()), client_);
    bool headOnly = request.method() == http::verb::head;
    if (result.pieces)
        // An HTTP/1.0 client knows no chunks: it reads such a body until the close.
        return answerInPieces(std::move(result), request.keep_alive(), headOnly, request.version() >= 11);
    answer(std::move(result), request.keep_alive(), headOnly);
}

void HttpConnection::answer(ResourceAnswer result, bool keepAlive, bool headOnly)
{
    keepAlive_ = keepAlive;
    response_ = {};
    response_.version(11);
    response_.result(unsigned(result.status));
    response_.set(http::field::content_type, *result.contentType ? result.contentType : TextType);
    if (result.status == 405)
        response_.set(http::field::allow, "GET, HEAD");
    size_t length = result.body.size();
    if (!headOnly)
        response_.body() = std::move(result.body);
    response_.content_length(length);
    response_.keep_alive(keepAlive);
    stream_.expires_after(limits_.writeDeadline);
    http::async_write(
        stream_, response_, [self = shared_from_this()](beast::error_code e, size_t) { self->onWritten(e); });
}

void HttpConnection::answerInPieces(ResourceAnswer result, bool keepAlive, bool headOnly, bool chunked)
{
    chunked_ = chunked;
    keepAlive_ = keepAlive && chunked;
    pieces_ = headOnly ? BodyPieces() : std::move(result.pieces);
    piecesHead_ = {};
    piecesHead_.version(11);
    piecesHead_.result(unsigned(result.status));
    piecesHead_.set(http::field::content_type, *result.contentType ? result.contentType : TextType);
    // A HEAD answer says how the body would come without making any of it.
    piecesHead_.chunked(chunked);
    piecesHead_.keep_alive(keepAlive_);
    headWriter_.emplace(piecesHead_);
    // One deadline for the whole answer, however many pieces it takes, so that a client reading
    // slowly holds its connection no longer than with a built body.
    stream_.expires_after(limits_.writeDeadline);
    http::async_write_header(stream_, *headWriter_, [self = shared_from_this()](beast::error_code e, size_t) {
        if (e || !self->pieces_)
            return self->onWritten(e);
        self->writePiece();
    });
}

void HttpConnection::writePiece()
{
    static const char lineEnd[] = "\r\n";
    static const char lastChunk[] = "0\r\n\r\n";
    // A piece the socket takes whole at once is followed by the next one here and now: handing each
    // piece's completion on through the executor woke another thread for every piece. About a
    // megabyte at a time, so that a client reading fast does not keep this thread's other
    // connections waiting; a piece the socket cannot take whole goes on as an asynchronous write.
    constexpr size_t BytesPerTurn = 1 << 20;
    for (size_t turn = 0; turn < BytesPerTurn;) {
        piece_.clear();
        try {
            pieces_(piece_);
        } catch (const std::exception&) {
            // The head is out: a close in mid-body is what tells the client that the answer failed.
            return finish();
        }
        const bool last = piece_.empty();
        std::array<asio::const_buffer, 3> buffers;
        size_t count = 0;
        if (chunked_ && last) {
            buffers[count++] = asio::buffer(lastChunk, sizeof lastChunk - 1);
        } else if (chunked_) {
            // The size line carries no extension: some clients read "size;extension" as the end.
            int length = std::snprintf(chunkSize_, sizeof chunkSize_, "%zx\r\n", piece_.size());
            buffers[count++] = asio::buffer(chunkSize_, size_t(length));
            buffers[count++] = asio::buffer(piece_);
            buffers[count++] = asio::buffer(lineEnd, 2);
        } else if (!last) {
            buffers[count++] = asio::buffer(piece_);
        }
        if (count == 0)
            return onWritten({});
        beast::buffers_suffix<std::array<asio::const_buffer, 3>> rest(buffers);
        const size_t size = asio::buffer_size(rest);
        beast::error_code error;
        auto& socket = stream_.socket();
        if (!socket.non_blocking())
            socket.non_blocking(true, error);
        const size_t written = error ? 0 : socket.write_some(rest, error);
        if (error && error != asio::error::would_block)
            return onWritten(error);
        if (written == size) {
            if (last)
                return onWritten({});
            turn += size;
            continue;
        }
        rest.consume(written);
        asio::async_write(stream_, rest, [self = shared_from_this(), last](beast::error_code e, size_t) {
            if (e || last)
                return self->onWritten(e);
            self->writePiece();
        });
        return;
    }
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->writePiece(); });
}

void HttpConnection::onWritten(beast::error_code e)
{
    pieces_ = nullptr;
    piece_ = {};
    headWriter_.reset();
    if (e)
        return finish();
    if (!keepAlive_)
        return closeAfterAnswer();
    response_ = {};
    waitForRequest();
}

void HttpConnection::closeAfterAnswer()
{
    // Closing with unread request bytes would reset the connection and could take the answer with
    // it, so the sending side closes first and what still comes in is read and dropped, briefly.
    beast::error_code ignored;
    stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(std::chrono::seconds(1));
    drain();
}

void HttpConnection::drain()
{
    stream_.async_read_some(asio::buffer(discard_), [self = shared_from_this()](beast::error_code e, size_t) {
        if (e)
            return self->finish();
        self->drain();
    });
}

void HttpConnection::finish()
{
    beast::error_code ignored;
    stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    stream_.close();
}
