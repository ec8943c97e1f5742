#pragma once

#include "base/Exception.h"

#include <chrono>
#include <string>

// Every failure of the network layer. The message can be extended on the way up (a failed connect
// appends " (host:port)"), so it is kept here rather than in the runtime_error's fixed copy.
class ENetException : public Exception {
public:
    explicit ENetException(const std::string& message)
        : Exception(message)
        , message_(message)
    {
    }
    const char* what() const noexcept override { return message_.c_str(); }
    void AppendMessage(const std::string& text) { message_ += text; }

private:
    std::string message_;
};

// A failure the connection itself expects in its normal course, such as the server closing.
class ENetSilentException : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetConnClosedGracefully : public ENetSilentException {
public:
    ENetConnClosedGracefully()
        : ENetSilentException("Connection Closed Gracefully.")
    {
    }
};

class ENetTCPConnectionError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetNotConnected : public ENetTCPConnectionError {
public:
    ENetNotConnected()
        : ENetTCPConnectionError("Not Connected")
    {
    }
};

class ENetIOHandlerPropInvalid : public ENetTCPConnectionError {
public:
    ENetIOHandlerPropInvalid()
        : ENetTCPConnectionError("IOHandler value is not valid")
    {
    }
};

class ENetAlreadyConnected : public ENetException {
public:
    ENetAlreadyConnected()
        : ENetException("Already connected.")
    {
    }
};

class ENetInvalidSocket : public ENetException {
public:
    ENetInvalidSocket()
        : ENetException("Cannot allocate socket.")
    {
    }
};

class ENetCouldNotBindSocket : public ENetException {
public:
    ENetCouldNotBindSocket()
        : ENetException("Could not bind socket. Address and port are already in use.")
    {
    }
};

class ENetConnectTimeout : public ENetException {
public:
    ENetConnectTimeout()
        : ENetException("Connect timed out.")
    {
    }
};

class ENetConnectException : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetReadTimeout : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetReadLnMaxLineLengthExceeded : public ENetException {
public:
    ENetReadLnMaxLineLengthExceeded()
        : ENetException("Max line length exceeded.")
    {
    }
};

// A platform socket failure, numbered and described as the Windows Sockets codes are.
class ENetSocketError : public ENetException {
public:
    explicit ENetSocketError(int errorCode);
    ENetSocketError(int errorCode, const std::string& message)
        : ENetException(message)
        , errorCode_(errorCode)
    {
    }
    int LastError() const { return errorCode_; }

    // Raises the error for a Linux errno value.
    [[noreturn]] static void RaiseErrno(int err);

private:
    int errorCode_;
};

class ENetUnknownProtocol : public ENetException {
public:
    ENetUnknownProtocol()
        : ENetException("")
    {
    }
};

class ENetProtocolReplyError : public ENetException {
public:
    ENetProtocolReplyError(const std::string& message, int errorCode)
        : ENetException(message)
        , errorCode_(errorCode)
    {
    }
    int ErrorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// A reply outside 2xx or a redirect: the status line, its code and the body the server sent with it.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
public:
    ENetHTTPProtocolException(const std::string& statusLine, int code, const std::string& body)
        : ENetProtocolReplyError(statusLine, code)
        , errorMessage_(body)
    {
    }
    const std::string& ErrorMessage() const { return errorMessage_; }

private:
    std::string errorMessage_;
};

// A response this client refuses to take: cut short, too large, or with an endless head.
class ENetHTTPResponseError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetHTTPBodyIncomplete : public ENetHTTPResponseError {
public:
    ENetHTTPBodyIncomplete(long long received, long long expected);
};

class ENetHTTPBodyTooLarge : public ENetHTTPResponseError {
public:
    explicit ENetHTTPBodyTooLarge(long long limit);
};

class ENetHTTPHeadTooLarge : public ENetHTTPResponseError {
public:
    using ENetHTTPResponseError::ENetHTTPResponseError;
};

// A number in the protocol's text (a port, a range) that is not one.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class ENetOpenSSLError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetOpenSSLLoadError : public ENetOpenSSLError {
public:
    using ENetOpenSSLError::ENetOpenSSLError;
};

class ENetOSSLCouldNotLoadSSLLibrary : public ENetOpenSSLLoadError {
public:
    ENetOSSLCouldNotLoadSSLLibrary()
        : ENetOpenSSLLoadError("Could not load SSL library.")
    {
    }
};

class ENetOSSLCreatingContextError : public ENetOpenSSLError {
public:
    ENetOSSLCreatingContextError()
        : ENetOpenSSLError("Error creating SSL context.")
    {
    }
};

class ENetOSSLSettingCipherError : public ENetOpenSSLError {
public:
    ENetOSSLSettingCipherError()
        : ENetOpenSSLError("SetCipher failed.")
    {
    }
};

class ENetOSSLDataBindingError : public ENetOpenSSLError {
public:
    ENetOSSLDataBindingError()
        : ENetOpenSSLError("Error binding data to SSL socket.")
    {
    }
};

class ENetOSSLConnectError : public ENetOpenSSLError {
public:
    ENetOSSLConnectError()
        : ENetOpenSSLError("Error connecting with SSL.")
    {
    }
};

// The Windows Sockets number for a Linux errno value (the value itself when there is none), and the
// description the messages use for such a number.
int SocketErrorCodeFromErrno(int err);
std::string SocketErrorText(int code);

// A moment as the timeout messages give it: local time, HH:MM:SS.
std::string LongTimeText(std::chrono::system_clock::time_point when);
