// The monitor's HTTP client reading whatever a service answers: status line, header lines,
// cookies and the body in every framing, and a second response from the bytes left over on a
// connection the first one kept open.
#include "FuzzSupport.h"

#include "base/Exception.h"
#include "net/NetHTTP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TNetHTTP client;
    client.SetIOHandler(new qtm_fuzz::TMemoryTransport(qtm_fuzz::AsText(data, size)));
    client.SetConnectTimeout(750);
    client.SetReadTimeout(2000);
    client.SetMaxBodySize(1 << 20);
    for (const char* location : { "http://127.0.0.1:8080/average/1", "/history" }) {
        std::string body;
        try {
            client.Get(location, body);
        } catch (const Exception&) {
            // Refusing bad bytes with the client's own exceptions is the sound outcome.
            break;
        }
        if (body.size() > client.MaxBodySize())
            qtm_fuzz::BrokenPromise("a body larger than the client's limit was accepted");
        client.KeepAliveVerdict();
        if (!client.Connected())
            break;
    }
    return 0;
}
