#pragma once

#include "service/http/NetHTTP.h"

// Placeholder TLS transport until it lands.
class TNetSSLIOHandlerSocket : public TNetIOHandler {
};
