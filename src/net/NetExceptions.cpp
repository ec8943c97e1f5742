#include "net/NetExceptions.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <netdb.h>

namespace {
struct ErrnoCode {
    int err;
    int code;
};

const ErrnoCode kErrnoCodes[] = {
    { EINTR, 10004 },
    { EBADF, 10009 },
    { EACCES, 10013 },
    { EPERM, 10013 },
    { EFAULT, 10014 },
    { EINVAL, 10022 },
    { EMFILE, 10024 },
    { EAGAIN, 10035 },
    { EINPROGRESS, 10036 },
    { EALREADY, 10037 },
    { ENOTSOCK, 10038 },
    { EDESTADDRREQ, 10039 },
    { EMSGSIZE, 10040 },
    { EPROTOTYPE, 10041 },
    { ENOPROTOOPT, 10042 },
    { EPROTONOSUPPORT, 10043 },
    { ESOCKTNOSUPPORT, 10044 },
    { EOPNOTSUPP, 10045 },
    { EPFNOSUPPORT, 10046 },
    { EAFNOSUPPORT, 10047 },
    { EADDRINUSE, 10048 },
    { EADDRNOTAVAIL, 10049 },
    { ENETDOWN, 10050 },
    { ENETUNREACH, 10051 },
    { ENETRESET, 10052 },
    { ECONNABORTED, 10053 },
    { ECONNRESET, 10054 },
    { ENOBUFS, 10055 },
    { EISCONN, 10056 },
    { ENOTCONN, 10057 },
    { ESHUTDOWN, 10058 },
    // Writing to a socket the peer has closed: the same situation as a send after shutdown.
    { EPIPE, 10058 },
    { ETOOMANYREFS, 10059 },
    { ETIMEDOUT, 10060 },
    { ECONNREFUSED, 10061 },
    { ELOOP, 10062 },
    { ENAMETOOLONG, 10063 },
    { EHOSTDOWN, 10064 },
    { EHOSTUNREACH, 10065 },
    { ENOTEMPTY, 10066 },
};

struct CodeText {
    int code;
    const char* text;
};

const CodeText kCodeTexts[] = {
    { 10004, "Interrupted system call." },
    { 10009, "Bad file number." },
    { 10013, "Access denied." },
    { 10014, "Bad address." },
    { 10022, "Invalid argument." },
    { 10024, "Too many open files." },
    { 10035, "Operation would block. " },
    { 10036, "Operation now in progress." },
    { 10037, "Operation already in progress." },
    { 10038, "Socket operation on non-socket." },
    { 10039, "Destination address required." },
    { 10040, "Message too long." },
    { 10041, "Protocol wrong type for socket." },
    { 10042, "Bad protocol option." },
    { 10043, "Protocol not supported." },
    { 10044, "Socket type not supported." },
    { 10045, "Operation not supported on socket." },
    { 10046, "Protocol family not supported." },
    { 10047, "Address family not supported by protocol family." },
    { 10048, "Address already in use." },
    { 10049, "Cannot assign requested address." },
    { 10050, "Network is down." },
    { 10051, "Network is unreachable." },
    { 10052, "Net dropped connection or reset." },
    { 10053, "Software caused connection abort." },
    { 10054, "Connection reset by peer." },
    { 10055, "No buffer space available." },
    { 10056, "Socket is already connected." },
    { 10057, "Socket is not connected." },
    { 10058, "Cannot send or receive after socket is closed." },
    { 10059, "Too many references, cannot splice." },
    { 10060, "Connection timed out." },
    { 10061, "Connection refused." },
    { 10062, "Too many levels of symbolic links." },
    { 10063, "File name too long." },
    { 10064, "Host is down." },
    { 10065, "No route to host." },
    { 10066, "Directory not empty" },
};
} // namespace

int SocketErrorCodeFromErrno(int err)
{
    for (const auto& e : kErrnoCodes)
        if (e.err == err)
            return e.code;
    return err;
}

std::string SocketErrorText(int code)
{
    for (const auto& c : kCodeTexts)
        if (c.code == code)
            return c.text;
    // An errno value without a Windows Sockets number still tells the administrator something.
    if (code > 0 && code < 10000)
        return std::strerror(code);
    return "";
}

ENetSocketError::ENetSocketError(int errorCode)
    : ENetException("Socket Error #" + std::to_string(errorCode) + ", " + SocketErrorText(errorCode))
    , errorCode_(errorCode)
{
}

void ENetSocketError::RaiseErrno(int err)
{
    throw ENetSocketError(SocketErrorCodeFromErrno(err));
}

ENetHTTPBodyIncomplete::ENetHTTPBodyIncomplete(long long received, long long expected)
    : ENetHTTPResponseError(
        "Connection closed after " + std::to_string(received) + " of " + std::to_string(expected) + " body bytes.")
{
}

ENetHTTPBodyTooLarge::ENetHTTPBodyTooLarge(long long limit)
    : ENetHTTPResponseError("Response body exceeds " + std::to_string(limit) + " bytes.")
{
}

std::string LongTimeText(std::chrono::system_clock::time_point when)
{
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local {};
    localtime_r(&t, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}
