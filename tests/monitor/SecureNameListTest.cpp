#include "MonitorFixture.h"

#include "support/ScriptedServer.h"
#include "table/QuickList.h"

#include <QLabel>

#include <unistd.h>

using namespace qtm_test;

namespace {

std::string response(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace

// The name list on an https server of its own while snapshots come over a kept-alive plain
// connection: the refresh must load the names the first time, not fail once and retry.
TEST_F(MonitorTest, HttpsNameListLoadsWhileThePlainConnectionIsKeptAlive)
{
    char pattern[] = "/tmp/qtm-names-tls-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    TScriptedServer::TLSFiles files { dir + "/names.crt", dir + "/names.key" };
    MakeSelfSignedCertificate("names.example", -1, 30, files.certificateFile, files.keyFile);
    TScriptedServer names(files);
    names.SetRepeatingScript({ WaitRequest(), Send(response("198.18.0.5=secure-host\r\n")), WaitRequest(),
        Send(response("198.18.0.5=secure-host\r\n")) });
    settings->Write("[Settings]\nSnifferService=" + service.Address()
        + "\nIPSource=https://127.0.0.1:" + std::to_string(names.Port()) + "/names\n");

    service.Set("/", Snapshot(Hosts(2)));
    PollOnce();
    ASSERT_EQ(control<QLabel>("lblKeepAlive")->text(), "KeepAlive ON");
    TNetHTTP* client = probe().HttpClient();
    ASSERT_NE(client, nullptr);

    probe().LoadHostNames();
    EXPECT_EQ(probe().HostNames()->Lookup("198.18.0.5"), "secure-host");
    EXPECT_EQ(probe().HttpClient(), client); // no failure, so the client was kept

    // The next snapshot goes plain again through the same client and its TLS transport.
    PollOnce();
    EXPECT_EQ(probe().HttpClient(), client);
    EXPECT_EQ(cell(2, 1), Hosts(2)[0].address);
    std::remove(files.certificateFile.c_str());
    std::remove(files.keyFile.c_str());
    rmdir(dir.c_str());
}
