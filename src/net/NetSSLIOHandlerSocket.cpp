#include "net/NetSSLIOHandlerSocket.h"

#include "net/NetExceptions.h"
#include "net/OpenSSLLoader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>

struct TNetSSLContext {
    const TNetOpenSSLApi* api = nullptr;
    SSL_CTX* ctx = nullptr;
};

struct TNetSSLSocket {
    SSL* ssl = nullptr;
};

namespace {
int emptyPassword(char*, int, int, void*)
{
    return 0;
}

// Writes to a socket the server has closed raise SIGPIPE inside OpenSSL; keep it from ending
// the program and let the write fail with EPIPE instead.
class SigPipeGuard {
public:
    SigPipeGuard()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &old_);
    }
    ~SigPipeGuard()
    {
        if (!wasPending_) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            timespec zero {};
            while (sigtimedwait(&pipe, nullptr, &zero) > 0) { }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t old_;
    bool wasPending_ = false;
};

TNetSSLContext* createContext(const TNetSSLOptions& options)
{
    const TNetOpenSSLApi* api = LoadOpenSSL();
    if (!api)
        throw ENetOSSLCouldNotLoadSSLLibrary();
    // OpenSSL 3 offers no SSL 2.0 or 3.0: every method asks for the library's TLS client, with
    // TLS 1.0 pinned when that is what the options name.
    SSL_CTX* ctx = api->SSL_CTX_new(api->TLS_client_method());
    if (!ctx)
        throw ENetOSSLCreatingContextError();
    auto* context = new TNetSSLContext { api, ctx };
    api->SSL_CTX_set_default_passwd_cb(ctx, emptyPassword);
    api->SSL_CTX_set_default_passwd_cb_userdata(ctx, context);
    api->SSL_CTX_set_default_verify_paths(ctx);
    if (options.Method == sslvTLSv1) {
        api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_VERSION, nullptr);
        api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MAX_PROTO_VERSION, TLS1_VERSION, nullptr);
    } else if (options.Method == sslvSSLv3) {
        api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, SSL3_VERSION, nullptr);
        api->SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MAX_PROTO_VERSION, SSL3_VERSION, nullptr);
    }
    const std::string& ciphers = options.CipherList.empty() ? std::string("DEFAULT") : options.CipherList;
    if (api->SSL_CTX_set_cipher_list(ctx, ciphers.c_str()) <= 0) {
        api->SSL_CTX_free(ctx);
        delete context;
        throw ENetOSSLSettingCipherError();
    }
    // Records without data (session tickets) must hand control back instead of blocking a read.
    api->SSL_CTX_ctrl(ctx, SSL_CTRL_CLEAR_MODE, SSL_MODE_AUTO_RETRY, nullptr);
    return context;
}
} // namespace

TNetSSLIOHandlerSocket::TNetSSLIOHandlerSocket() = default;

TNetSSLIOHandlerSocket::~TNetSSLIOHandlerSocket()
{
    Close();
}

void TNetSSLIOHandlerSocket::AfterAccept()
{
    IsPeer = true;
}

void TNetSSLIOHandlerSocket::Open()
{
    TNetIOHandlerSocket::Open();
}

bool TNetSSLIOHandlerSocket::Encrypting() const
{
    return !passThrough_ && channel_ && Connected();
}

void TNetSSLIOHandlerSocket::ConnectClient(
    const std::string& host, int port, const std::string& boundIP, int boundPort, int timeoutMs)
{
    bool passThrough = passThrough_;
    host_ = host;
    freeChannel();
    TNetIOHandlerSocket::ConnectClient(host, port, boundIP, boundPort, timeoutMs);
    DoBeforeConnect();
    try {
        context_ = createContext(SSLOptions);
    } catch (const ENetOSSLCouldNotLoadSSLLibrary&) {
        if (!passThrough)
            throw;
    }
    passThrough_ = passThrough;
    if (!passThrough_)
        OpenEncodedConnection();
}

void TNetSSLIOHandlerSocket::SetPassThrough(bool value)
{
    if (!value && Connected()) {
        if (!context_)
            throw ENetOSSLCouldNotLoadSSLLibrary();
        passThrough_ = false;
        OpenEncodedConnection();
        return;
    }
    // Plain bytes on a live TLS session would garble it; the next request connects anew instead.
    if (value && !passThrough_ && channel_ && Connected())
        Close();
    passThrough_ = value;
}

void TNetSSLIOHandlerSocket::OpenEncodedConnection()
{
    if (channel_)
        return;
    if (!context_)
        throw ENetOSSLCouldNotLoadSSLLibrary();
    const TNetOpenSSLApi* api = context_->api;
    api->ERR_clear_error();
    SSL* ssl = api->SSL_new(context_->ctx);
    if (!ssl)
        throw ENetOSSLConnectError();
    channel_ = new TNetSSLSocket { ssl };
    if (api->SSL_set_ex_data(ssl, 0, channel_) < 1)
        throw ENetOSSLDataBindingError();
    api->SSL_set_fd(ssl, Binding()->Handle);
    in_addr addr {};
    if (!host_.empty() && inet_pton(AF_INET, host_.c_str(), &addr) != 1)
        api->SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, const_cast<char*>(host_.c_str()));
    std::string started = LongTimeText(std::chrono::system_clock::now());
    // A peer that accepts and then stays silent must not hold the window longer than any other
    // read would: the whole handshake is one wait for the server, bounded by the read limit.
    std::optional<TNetClock::time_point> end = deadline_;
    if (readTimeout_ > 0) {
        auto limit = TNetClock::now() + std::chrono::milliseconds(readTimeout_);
        if (!end || limit < *end)
            end = limit;
    }
    for (;;) {
        int rc;
        {
            SigPipeGuard guard;
            rc = api->SSL_connect(ssl);
        }
        if (rc == 1)
            break;
        int err = api->SSL_get_error(ssl, rc);
        if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE)
            throw ENetOSSLConnectError();
        int wait = -1;
        if (end) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*end - TNetClock::now()).count();
            wait = left < 0 ? 0 : int(left);
        }
        if (!waitFor(err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, wait))
            throw ENetReadTimeout("Read Timeout, last activity " + started);
    }
    const SSL_CIPHER* cipher = api->SSL_get_current_cipher(ssl);
    if (cipher) {
        char description[256] = {};
        api->SSL_CIPHER_description(cipher, description, sizeof description);
        int bits = api->SSL_CIPHER_get_bits(cipher, nullptr);
        DoStatusInfo(std::string("Cipher: name = ") + api->SSL_CIPHER_get_name(cipher)
            + "; description = " + description + "; bits = " + std::to_string(bits)
            + "; version = " + api->SSL_CIPHER_get_version(cipher) + "; ");
    }
}

void TNetSSLIOHandlerSocket::freeChannel()
{
    if (channel_) {
        if (context_) {
            SigPipeGuard guard;
            if (Connected())
                context_->api->SSL_shutdown(channel_->ssl);
            context_->api->SSL_free(channel_->ssl);
        }
        delete channel_;
        channel_ = nullptr;
    }
    if (context_) {
        context_->api->SSL_CTX_free(context_->ctx);
        delete context_;
        context_ = nullptr;
    }
}

void TNetSSLIOHandlerSocket::Close()
{
    freeChannel();
    TNetIOHandlerSocket::Close();
}

bool TNetSSLIOHandlerSocket::Readable(int timeoutMs)
{
    if (!passThrough_ && channel_ && Connected() && context_->api->SSL_pending(channel_->ssl) > 0)
        return true;
    return TNetIOHandlerSocket::Readable(timeoutMs);
}

bool TNetSSLIOHandlerSocket::Writable(int timeoutMs)
{
    return TNetIOHandlerSocket::Writable(timeoutMs);
}

long TNetSSLIOHandlerSocket::Recv(char* buffer, size_t length)
{
    if (passThrough_)
        return TNetIOHandlerSocket::Recv(buffer, length);
    return RecvEnc(buffer, length);
}

long TNetSSLIOHandlerSocket::Send(const char* buffer, size_t length)
{
    if (passThrough_)
        return TNetIOHandlerSocket::Send(buffer, length);
    return SendEnc(buffer, length);
}

long TNetSSLIOHandlerSocket::RecvEnc(char* buffer, size_t length)
{
    if (!channel_ || !Connected()) {
        lastErrno_ = ESHUTDOWN;
        return -1;
    }
    const TNetOpenSSLApi* api = context_->api;
    int size = int(std::min<size_t>(length, 1 << 30));
    for (int attempt = 0; attempt < 2; ++attempt) {
        api->ERR_clear_error();
        errno = 0;
        int n = api->SSL_read(channel_->ssl, buffer, size);
        if (n > 0)
            return n;
        int err = api->SSL_get_error(channel_->ssl, n);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE)
            continue;
        if (err == SSL_ERROR_ZERO_RETURN)
            return 0;
        if (err == SSL_ERROR_SYSCALL && errno != 0) {
            lastErrno_ = errno;
            return -1;
        }
        // The server ended the stream without a close_notify: a close, as on a plain socket.
        if (err == SSL_ERROR_SYSCALL || n == 0)
            return 0;
        lastErrno_ = ECONNABORTED;
        return -1;
    }
    return kWouldBlock;
}

long TNetSSLIOHandlerSocket::SendEnc(const char* buffer, size_t length)
{
    if (!channel_ || !Connected()) {
        lastErrno_ = ESHUTDOWN;
        return -1;
    }
    const TNetOpenSSLApi* api = context_->api;
    int size = int(std::min<size_t>(length, 1 << 30));
    for (int attempt = 0; attempt < 2; ++attempt) {
        api->ERR_clear_error();
        errno = 0;
        int n;
        {
            SigPipeGuard guard;
            n = api->SSL_write(channel_->ssl, buffer, size);
        }
        if (n > 0)
            return n;
        int err = api->SSL_get_error(channel_->ssl, n);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE)
            continue;
        lastErrno_ = (err == SSL_ERROR_SYSCALL && errno != 0) ? errno : ECONNABORTED;
        return -1;
    }
    return kWouldBlock;
}
