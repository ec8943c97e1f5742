#pragma once

#include <string>

// A location split the way the client sends it: no percent-encoding, backslashes read as "/".
class TNetURI {
public:
    TNetURI() = default;
    explicit TNetURI(const std::string& location) { SetURI(location); }

    void SetURI(const std::string& location);
    std::string GetFullURI() const;

    // Resolves "." and ".." segments of an absolute path; never climbs above "/".
    static std::string NormalizePath(const std::string& path);

    std::string Protocol, Host, Port, Path, Document, Params, Username, Password;
};
