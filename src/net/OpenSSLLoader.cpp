#include "net/OpenSSLLoader.h"

#include "net/NetSSLIOHandlerSocket.h"

#include <dlfcn.h>
#include <mutex>

namespace {
const char* const kDefaultSSLLibrary = "libssl.so.3";
const char* const kDefaultCryptoLibrary = "libcrypto.so.3";

struct LoaderState {
    std::mutex lock;
    std::string sslName = kDefaultSSLLibrary, cryptoName = kDefaultCryptoLibrary;
    TNetOpenSSLApi api;
    bool loaded = false;
};

LoaderState& state()
{
    static LoaderState s;
    return s;
}

template <typename F> bool resolve(void* library, const char* name, F& target)
{
    target = reinterpret_cast<F>(dlsym(library, name));
    return target != nullptr;
}

bool loadInto(TNetOpenSSLApi& api, const std::string& sslName, const std::string& cryptoName)
{
    // The libraries stay loaded for the rest of the process once found: OpenSSL cleans up at exit.
    void* crypto = dlopen(cryptoName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!crypto)
        return false;
    void* ssl = dlopen(sslName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!ssl) {
        dlclose(crypto);
        return false;
    }
    TNetOpenSSLApi a;
    bool ok = resolve(ssl, "OPENSSL_init_ssl", a.OPENSSL_init_ssl)
        && resolve(ssl, "TLS_client_method", a.TLS_client_method) && resolve(ssl, "SSL_CTX_new", a.SSL_CTX_new)
        && resolve(ssl, "SSL_CTX_free", a.SSL_CTX_free)
        && resolve(ssl, "SSL_CTX_set_default_passwd_cb", a.SSL_CTX_set_default_passwd_cb)
        && resolve(ssl, "SSL_CTX_set_default_passwd_cb_userdata", a.SSL_CTX_set_default_passwd_cb_userdata)
        && resolve(ssl, "SSL_CTX_set_default_verify_paths", a.SSL_CTX_set_default_verify_paths)
        && resolve(ssl, "SSL_CTX_set_cipher_list", a.SSL_CTX_set_cipher_list)
        && resolve(ssl, "SSL_CTX_ctrl", a.SSL_CTX_ctrl) && resolve(ssl, "SSL_new", a.SSL_new)
        && resolve(ssl, "SSL_free", a.SSL_free) && resolve(ssl, "SSL_set_ex_data", a.SSL_set_ex_data)
        && resolve(ssl, "SSL_set_fd", a.SSL_set_fd) && resolve(ssl, "SSL_connect", a.SSL_connect)
        && resolve(ssl, "SSL_read", a.SSL_read) && resolve(ssl, "SSL_write", a.SSL_write)
        && resolve(ssl, "SSL_get_error", a.SSL_get_error) && resolve(ssl, "SSL_shutdown", a.SSL_shutdown)
        && resolve(ssl, "SSL_pending", a.SSL_pending) && resolve(ssl, "SSL_ctrl", a.SSL_ctrl)
        && resolve(ssl, "SSL_get_current_cipher", a.SSL_get_current_cipher)
        && resolve(ssl, "SSL_CIPHER_get_name", a.SSL_CIPHER_get_name)
        && resolve(ssl, "SSL_CIPHER_description", a.SSL_CIPHER_description)
        && resolve(ssl, "SSL_CIPHER_get_bits", a.SSL_CIPHER_get_bits)
        && resolve(ssl, "SSL_CIPHER_get_version", a.SSL_CIPHER_get_version)
        && resolve(crypto, "ERR_clear_error", a.ERR_clear_error);
    if (ok)
        ok = a.OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr) > 0;
    if (!ok) {
        dlclose(ssl);
        dlclose(crypto);
        return false;
    }
    api = a;
    return true;
}
} // namespace

const TNetOpenSSLApi* LoadOpenSSL()
{
    LoaderState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.loaded)
        s.loaded = loadInto(s.api, s.sslName, s.cryptoName);
    return s.loaded ? &s.api : nullptr;
}

void SetOpenSSLLibraryNamesForTesting(const std::string& sslLibrary, const std::string& cryptoLibrary)
{
    LoaderState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.sslName = sslLibrary.empty() ? kDefaultSSLLibrary : sslLibrary;
    s.cryptoName = cryptoLibrary.empty() ? kDefaultCryptoLibrary : cryptoLibrary;
    s.loaded = false;
}
