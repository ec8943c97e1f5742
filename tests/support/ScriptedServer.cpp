#include "support/ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qtm_test {

struct TScriptedServer::Connection {
    int fd = -1;
    SSL* ssl = nullptr;
    std::string pending;

    ~Connection()
    {
        if (ssl)
            SSL_free(ssl);
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {
// Waits for the socket (or TLS bytes already decoded) or the server's stop; false on stop.
bool waitReadable(int fd, SSL* ssl, int wakeFd, const std::atomic<bool>& stopping)
{
    if (ssl && SSL_pending(ssl) > 0)
        return true;
    pollfd fds[2] = { { fd, POLLIN, 0 }, { wakeFd, POLLIN, 0 } };
    while (!stopping) {
        int n = ::poll(fds, 2, 100);
        if (n < 0 && errno != EINTR)
            return false;
        if (n > 0 && fds[0].revents)
            return true;
    }
    return false;
}

// Bytes read (> 0), 0 at the client's close or a stop, -1 on an error.
long readSome(int fd, SSL* ssl, char* buffer, size_t length, int wakeFd, const std::atomic<bool>& stopping)
{
    for (;;) {
        if (!waitReadable(fd, ssl, wakeFd, stopping))
            return 0;
        if (ssl) {
            int n = SSL_read(ssl, buffer, int(length));
            if (n > 0)
                return n;
            int err = SSL_get_error(ssl, n);
            if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE)
                continue;
            return err == SSL_ERROR_ZERO_RETURN ? 0 : -1;
        }
        ssize_t n = ::recv(fd, buffer, length, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return long(n);
    }
}

bool writeAll(int fd, SSL* ssl, const char* data, size_t length)
{
    size_t sent = 0;
    while (sent < length) {
        long n;
        if (ssl)
            n = SSL_write(ssl, data + sent, int(length - sent));
        else
            n = long(::send(fd, data + sent, length - sent, MSG_NOSIGNAL));
        if (n <= 0) {
            if (!ssl && n < 0 && errno == EINTR)
                continue;
            return false;
        }
        sent += size_t(n);
    }
    return true;
}
} // namespace

TScriptedServer::TScriptedServer(int backlog)
{
    start(backlog);
}

TScriptedServer::TScriptedServer(const TLSFiles& tls, int backlog)
{
    tls_ = SSL_CTX_new(TLS_server_method());
    if (!tls_ || SSL_CTX_use_certificate_file(tls_, tls.certificateFile.c_str(), SSL_FILETYPE_PEM) != 1
        || SSL_CTX_use_PrivateKey_file(tls_, tls.keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("test server: cannot load the certificate");
    start(backlog);
}

void TScriptedServer::start(int backlog)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(listenFd_, backlog) < 0)
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TScriptedServer::~TScriptedServer()
{
    Stop();
    if (tls_)
        SSL_CTX_free(tls_);
}

void TScriptedServer::Stop()
{
    if (stopping_.exchange(true))
        return;
    uint64_t one = 1;
    (void)!::write(wakeFd_, &one, sizeof one);
    if (acceptThread_.joinable())
        acceptThread_.join();
    for (auto& t : connectionThreads_)
        if (t.joinable())
            t.join();
    ::close(listenFd_);
    ::close(wakeFd_);
}

void TScriptedServer::AddConnection(TScript script)
{
    std::lock_guard<std::mutex> guard(lock_);
    scripts_.push_back(std::move(script));
}

void TScriptedServer::SetRepeatingScript(TScript script)
{
    std::lock_guard<std::mutex> guard(lock_);
    repeating_ = std::move(script);
}

std::vector<std::string> TScriptedServer::Requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::vector<std::vector<std::string>> TScriptedServer::RequestsByConnection() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return byConnection_;
}

int TScriptedServer::AcceptedCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return int(byConnection_.size());
}

bool TScriptedServer::WaitForRequests(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

void TScriptedServer::acceptLoop()
{
    pollfd fds[2] = { { listenFd_, POLLIN, 0 }, { wakeFd_, POLLIN, 0 } };
    while (!stopping_) {
        int n = ::poll(fds, 2, 100);
        if (n <= 0 || !fds[0].revents)
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        TScript script;
        size_t index;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!scripts_.empty()) {
                script = std::move(scripts_.front());
                scripts_.pop_front();
            } else {
                script = repeating_;
            }
            index = byConnection_.size();
            byConnection_.emplace_back();
        }
        changed_.notify_all();
        connectionThreads_.emplace_back(
            [this, connection, script = std::move(script), index] { runConnection(connection, script, index); });
    }
}

void TScriptedServer::runConnection(std::shared_ptr<Connection> c, TScript script, size_t index)
{
    if (tls_) {
        c->ssl = SSL_new(tls_);
        SSL_set_fd(c->ssl, c->fd);
        if (SSL_accept(c->ssl) != 1)
            return;
    }
    if (script.empty())
        return;
    char buffer[16384];
    for (const TStep& step : script) {
        if (stopping_)
            return;
        switch (step.kind) {
        case TStep::Send:
            if (!writeAll(c->fd, c->ssl, step.bytes.data(), step.bytes.size()))
                return;
            break;
        case TStep::SendBytewise:
            for (char byte : step.bytes) {
                if (!writeAll(c->fd, c->ssl, &byte, 1))
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
            }
            break;
        case TStep::Pause:
            for (int waited = 0; waited < step.ms && !stopping_; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, step.ms - waited)));
            break;
        case TStep::Close:
            if (c->ssl)
                SSL_shutdown(c->ssl);
            ::shutdown(c->fd, SHUT_RDWR);
            return;
        case TStep::Reset: {
            linger hard { 1, 0 };
            ::setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            return;
        }
        case TStep::HalfClose:
            if (c->ssl)
                SSL_shutdown(c->ssl);
            ::shutdown(c->fd, SHUT_WR);
            break;
        case TStep::WaitRequest: {
            size_t end;
            while ((end = c->pending.find("\r\n\r\n")) == std::string::npos) {
                long n = readSome(c->fd, c->ssl, buffer, sizeof buffer, wakeFd_, stopping_);
                if (n <= 0)
                    return;
                c->pending.append(buffer, size_t(n));
            }
            std::string head = c->pending.substr(0, end + 4);
            c->pending.erase(0, end + 4);
            {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back(head);
                byConnection_[index].push_back(head);
            }
            changed_.notify_all();
            break;
        }
        }
    }
    // Keep the connection until the client closes it (or the server stops).
    while (readSome(c->fd, c->ssl, buffer, sizeof buffer, wakeFd_, stopping_) > 0) { }
}

void MakeSelfSignedCertificate(const std::string& commonName, int daysFrom, int daysTo,
    const std::string& certificateFile, const std::string& keyFile)
{
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), long(daysFrom) * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert), long(daysTo) * 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
    FILE* f = std::fopen(certificateFile.c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
    f = std::fopen(keyFile.c_str(), "w");
    PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    X509_free(cert);
    EVP_PKEY_free(key);
}

} // namespace qtm_test
