#pragma once

#include "HostAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ServiceOptions {
    enum class Mode { Demo, Live, File };
    Mode mode = Mode::Demo;
    size_t demoHosts = 45;
    uint64_t seed = 1;
    std::string interface;
    std::string captureFile;
    double speed = 1.0; // 0: as fast as possible
    NetworkList networks;
    std::string namesFile;
    bool resolve = false;
    std::string listenHost = "127.0.0.1";
    int listenPort = 8080; // 0: any free port
    // Who is served when listenHost is not a loopback address; loopback only unless --allow says.
    NetworkList allow = *NetworkList::parse("127.0.0.0/8,::1");
    bool help = false;
    bool version = false;
};

// Raised for a command line the service cannot run with; the text says what is wrong.
class UsageError : public std::exception {
public:
    explicit UsageError(std::string message)
        : message_(std::move(message))
    {
    }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

ServiceOptions ParseServiceOptions(const std::vector<std::string>& args);
extern const char* const ServiceUsage;
