// The texts the service reads at start: a names file and a hosts file, and the local networks
// they are filtered by, as the option gives them. The first line is the networks option.
#include "FuzzSupport.h"

#include "HostAddress.h"
#include "NameDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text = qtm_fuzz::AsText(data, size);
    const size_t eol = text.find('\n');
    const std::string_view option = text.substr(0, eol);
    const std::string_view rest = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);

    NetworkList networks = NetworkList::parse(option).value_or(*NetworkList::parse("0.0.0.0/0"));
    for (const Network& network : networks.networks()) {
        if (!Network::parse(network.text()))
            qtm_fuzz::BrokenPromise("a network's own text does not read back");
    }
    if (auto address = HostAddress::parse(option)) {
        if (HostAddress::parse(address->text()) != address)
            qtm_fuzz::BrokenPromise("an address's own text reads back as another address");
    }

    NameDirectory names;
    names.loadNamesText(rest);
    names.loadHostsText(rest, networks);
    for (const auto& [address, name] : names.copy()) {
        if (name.size() > NameDirectory::MaxNameLength || name.find_first_of("<=\r\n") != std::string::npos)
            qtm_fuzz::BrokenPromise("a served name could break its address=name line");
    }
    NameDirectory::Clean(rest);
    return 0;
}
