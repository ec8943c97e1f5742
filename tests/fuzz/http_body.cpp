// The chunked, counted and read-until-close body readers behind a well-formed head, so that every
// mutation lands in the body. The first byte picks the framing.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "net/NetHTTP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0] % 3;
    std::string_view rest = qtm_fuzz::AsText(data + 1, size - 1);
    std::string response = "HTTP/1.1 200 OK\r\n";
    if (mode == 0) {
        response += "Transfer-Encoding: chunked\r\n\r\n";
    } else if (mode == 1) {
        // The counted length is the body's first line, so the fuzzer can state any length.
        size_t eol = rest.find('\n');
        std::string_view length = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        response += "Content-Length: " + std::string(length) + "\r\n\r\n";
    } else {
        response += "Connection: close\r\n\r\n";
    }
    response += rest;

    TNetHTTP client;
    client.SetIOHandler(new qtm_fuzz::TMemoryTransport(response));
    client.SetReadTimeout(2000);
    // A small limit, so that the limit checks are reached often.
    client.SetMaxBodySize(4096);
    std::string body;
    try {
        client.Get("http://127.0.0.1/", body);
    } catch (const Exception&) {
        return 0;
    }
    if (body.size() > client.MaxBodySize())
        qtm_fuzz::BrokenPromise("a body larger than the client's limit was accepted");
    if (body.size() > rest.size())
        qtm_fuzz::BrokenPromise("the body holds more bytes than the server sent");
    return 0;
}
