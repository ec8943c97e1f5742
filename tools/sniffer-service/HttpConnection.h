#pragma once

#include "HostAddress.h"
#include "HttpService.h"
#include "ResourceRouter.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <functional>
#include <memory>
#include <optional>

// One client connection: waits for a request, reads it within the request deadline, answers it
// (a body given in pieces is made one piece at a time, as the client takes it), and goes on with the next one
// (pipelined or not) until the client closes, idles past the limit, sends something malformed, or the service stops.
// All of it runs on the connection's strand, so a slow client holds nothing but its own connection.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    using Closed = std::function<void(HttpConnection*)>;

    // closed is called from the destructor, when nothing of the connection is left in flight.
    HttpConnection(boost::asio::ip::tcp::socket socket, const ResourceRouter& router, const HttpLimits& limits,
        HostAddress client, Closed closed);
    ~HttpConnection();

    void start();
    // Safe from any thread.
    void close();

private:
    void waitForRequest();
    void readRequest();
    void onRequest(boost::beast::error_code error);
    void answer(ResourceAnswer result, bool keepAlive, bool headOnly);
    void answerInPieces(ResourceAnswer result, bool keepAlive, bool headOnly, bool chunked);
    void writePiece();
    void onWritten(boost::beast::error_code error);
    void closeAfterAnswer();
    void drain();
    void finish();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    boost::beast::http::response<boost::beast::http::string_body> response_;
    // The answer being sent in pieces: its head, the source, the piece on its way and its framing.
    boost::beast::http::response<boost::beast::http::empty_body> piecesHead_;
    std::optional<boost::beast::http::response_serializer<boost::beast::http::empty_body>> headWriter_;
    BodyPieces pieces_;
    std::string piece_;
    char chunkSize_[24];
    bool chunked_ = false;
    bool keepAlive_ = false;
    char discard_[4096];
    const ResourceRouter& router_;
    const HttpLimits& limits_;
    HostAddress client_;
    Closed closed_;
};
