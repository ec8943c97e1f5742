#pragma once

#include "net/NetIOHandler.h"

#include <string>

enum TNetSSLVersion { sslvSSLv2, sslvSSLv23, sslvSSLv3, sslvTLSv1 };
enum TNetSSLMode { sslmUnassigned, sslmClient, sslmServer, sslmBoth };

struct TNetSSLOptions {
    TNetSSLVersion Method = sslvSSLv2;
    TNetSSLMode Mode = sslmUnassigned;
    int VerifyMode = 0;
    int VerifyDepth = 0;
    std::string RootCertFile, CertFile, KeyFile, VerifyDirs, CipherList;
};

struct TNetSSLContext;
struct TNetSSLSocket;

// The TLS transport: the plain socket connect, then a TLS client handshake over it. In
// pass-through mode it carries plain bytes like its base.
class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket {
public:
    TNetSSLIOHandlerSocket();
    ~TNetSSLIOHandlerSocket() override;

    void AfterAccept() override;
    void Close() override;
    void ConnectClient(
        const std::string& host, int port, const std::string& boundIP, int boundPort, int timeoutMs) override;
    void Open() override;
    bool Readable(int timeoutMs) override;
    long Recv(char* buffer, size_t length) override;
    long Send(const char* buffer, size_t length) override;
    bool Writable(int timeoutMs) override;

    virtual void DoBeforeConnect() { }
    virtual void DoStatusInfo(const std::string&) { }
    virtual std::string DoGetPassword() { return ""; }
    virtual bool DoVerifyPeer() { return true; }
    virtual long RecvEnc(char* buffer, size_t length);
    virtual long SendEnc(const char* buffer, size_t length);
    virtual void OpenEncodedConnection();

    void SetPassThrough(bool value);
    bool PassThrough() const { return passThrough_; }
    // True while bytes go through an established TLS channel.
    bool Encrypting() const;

    TNetSSLOptions SSLOptions;
    bool IsPeer = false;

private:
    void freeChannel();
    std::string host_;
    bool passThrough_ = false;
    TNetSSLContext* context_ = nullptr;
    TNetSSLSocket* channel_ = nullptr;
};

// Lets tests point the run-time loader at other library files; empty names restore the defaults.
void SetOpenSSLLibraryNamesForTesting(const std::string& sslLibrary, const std::string& cryptoLibrary);
