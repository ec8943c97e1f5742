#include "app/SnifferMainForm.h"

#include "base/StringList.h"
#include "service/LineSplitting.h"
#include "service/ResourceLocation.h"
#include "service/http/NetHTTP.h"
#include "service/http/NetSSLIOHandlerSocket.h"

#include <QLabel>

void TSnifferMainForm::FetchLines(const std::string& location, TStringList& target)
{
    if (!IsHttpLocation(location)) {
        target.Clear();
        std::string content;
        if (ReadSharedFile(location, content))
            ReplaceLines(content, target);
        return;
    }
    std::string body;
    try {
        if (!HttpClient)
            HttpClient = new TNetHTTP();
        if (IsHttpsLocation(location) && !dynamic_cast<TNetSSLIOHandlerSocket*>(HttpClient->IOHandler())) {
            // A plain connection kept alive from an earlier fetch cannot carry https: close it and
            // give the client a TLS transport, which it keeps from then on.
            HttpClient->Disconnect();
            HttpClient->SetIOHandler(new TNetSSLIOHandlerSocket());
        }
        HttpClient->SetConnectTimeout(750);
        HttpClient->SetReadTimeout(2000);
        HttpClient->Get(location, body);
        lblKeepAlive->setText(HttpClient->KeepAliveVerdict() ? "KeepAlive ON" : "KeepAlive OFF");
    } catch (const std::exception&) {
        // Every fetch failure is absorbed: the target stays as it was and the next fetch starts afresh.
        DiscardHttpClient();
        return;
    }
    ReplaceLines(body, target);
}
