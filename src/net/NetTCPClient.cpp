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
        IOHandler()->ConnectClient(m_host, m_port, BoundIP, BoundPort, timeoutMs);
    } catch (ENetException& e) {
        IOHandler()->Close();
        e.AppendMessage(" (" + m_host + ":" + std::to_string(m_port) + ")");
        throw;
    }
    DoOnConnected();
}
