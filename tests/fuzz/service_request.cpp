// The service's answer to one request, from the parts its HTTP server hands on: the method, the
// target and the client's address, given as the first line "METHOD TARGET [ADDRESS]". The
// request bytes themselves are read by the HTTP library; what is ours is what each request gets.
#include "FuzzSupport.h"

#include "HostAddress.h"
#include "ResourceRouter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ServiceResources resources {
        [] { return std::string("snapshot\n"); },
        [] { return std::string("last second\n"); },
        [] { return std::string("history\n###\n"); },
        [] { return std::string("198.18.0.1=alpha\n"); },
        [] { return std::string("# TYPE quorvel_sniffer_hosts gauge\nquorvel_sniffer_hosts 1\n"); },
        // Clients of 198.51.100.0/24 are refused, as an allow list would refuse them.
        [](const std::string& client) { return client.rfind("198.51.100.", 0) != 0; },
    };
    static const ResourceRouter router(resources);

    std::string_view line = qtm_fuzz::AsText(data, size);
    line = line.substr(0, line.find('\n'));
    const size_t blank = line.find(' ');
    const std::string_view method = line.substr(0, blank);
    std::string_view target = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    std::string_view address;
    if (size_t second = target.find(' '); second != std::string_view::npos) {
        address = target.substr(second + 1);
        target = target.substr(0, second);
    }
    const HostAddress client = HostAddress::parse(address).value_or(HostAddress::fromIPv4(0x7F000001));

    const ResourceAnswer answer = router.answer(method, target, client);
    if (answer.status == 200) {
        if (method != "GET" && method != "HEAD")
            qtm_fuzz::BrokenPromise("a method other than GET or HEAD is served");
        bool known = false;
        if (!resources.allowClient(client.text()))
            qtm_fuzz::BrokenPromise("a client outside the allow list is served");
        for (const auto& resource :
            { resources.snapshot, resources.lastSecond, resources.history, resources.names, resources.metrics })
            known = known || answer.body == resource();
        if (!known)
            qtm_fuzz::BrokenPromise("a served body is none of the resources");
    }
    if (answer.status < 100 || answer.status > 599)
        qtm_fuzz::BrokenPromise("an answer's status is no HTTP status");
    return 0;
}
