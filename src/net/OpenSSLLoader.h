#pragma once

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <string>

// The OpenSSL entry points this program calls, resolved from the libraries at run time so that a
// machine without them still runs plain http.
struct TNetOpenSSLApi {
    decltype(&::OPENSSL_init_ssl) OPENSSL_init_ssl = nullptr;
    decltype(&::TLS_client_method) TLS_client_method = nullptr;
    decltype(&::SSL_CTX_new) SSL_CTX_new = nullptr;
    decltype(&::SSL_CTX_free) SSL_CTX_free = nullptr;
    decltype(&::SSL_CTX_set_default_passwd_cb) SSL_CTX_set_default_passwd_cb = nullptr;
    decltype(&::SSL_CTX_set_default_passwd_cb_userdata) SSL_CTX_set_default_passwd_cb_userdata = nullptr;
    decltype(&::SSL_CTX_set_default_verify_paths) SSL_CTX_set_default_verify_paths = nullptr;
    decltype(&::SSL_CTX_set_cipher_list) SSL_CTX_set_cipher_list = nullptr;
    decltype(&::SSL_CTX_ctrl) SSL_CTX_ctrl = nullptr;
    decltype(&::SSL_new) SSL_new = nullptr;
    decltype(&::SSL_free) SSL_free = nullptr;
    decltype(&::SSL_set_ex_data) SSL_set_ex_data = nullptr;
    decltype(&::SSL_set_fd) SSL_set_fd = nullptr;
    decltype(&::SSL_connect) SSL_connect = nullptr;
    decltype(&::SSL_read) SSL_read = nullptr;
    decltype(&::SSL_write) SSL_write = nullptr;
    decltype(&::SSL_get_error) SSL_get_error = nullptr;
    decltype(&::SSL_shutdown) SSL_shutdown = nullptr;
    decltype(&::SSL_pending) SSL_pending = nullptr;
    decltype(&::SSL_ctrl) SSL_ctrl = nullptr;
    decltype(&::SSL_get_current_cipher) SSL_get_current_cipher = nullptr;
    decltype(&::SSL_CIPHER_get_name) SSL_CIPHER_get_name = nullptr;
    decltype(&::SSL_CIPHER_description) SSL_CIPHER_description = nullptr;
    decltype(&::SSL_CIPHER_get_bits) SSL_CIPHER_get_bits = nullptr;
    decltype(&::SSL_CIPHER_get_version) SSL_CIPHER_get_version = nullptr;
    decltype(&::ERR_clear_error) ERR_clear_error = nullptr;
};

// The loaded entry points, loading and initialising the libraries on first use; nullptr when a
// library or an entry point is missing (the next call tries again).
const TNetOpenSSLApi* LoadOpenSSL();
