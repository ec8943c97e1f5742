#include "net/NetTCPClient.h"

#include "net/NetExceptions.h"

void TNetTCPClient::Connect(int timeoutMs)
{
    if (!IOHandler())
        createOwnIOHandler();
    if (IOHandler()->Connected())
        throw ENetAlreadyConnected();
    IOHandler()->Open();
    ResetConnection();
    IOHandler()->SetReadTimeout(ReadTimeout);
    try {
        IOHandler()->ConnectClient(host_, port_, BoundIP, BoundPort, timeoutMs);
    } catch (ENetException& e) {
        IOHandler()->Close();
        e.AppendMessage(" (" + host_ + ":" + std::to_string(port_) + ")");
        throw;
    }
    DoOnConnected();
}
