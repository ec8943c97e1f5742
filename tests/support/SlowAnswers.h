#pragma once

#include "support/ScriptedServer.h"

namespace qtm_test {

// Answers every request with a head that promises a body, then sends it at 2 bytes a second.
inline TScript TricklingAnswer()
{
    TScript script { WaitRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n") };
    for (int i = 0; i < 200; ++i) {
        script.push_back(Send("xx"));
        script.push_back(Pause(1000));
    }
    return script;
}

// Takes the request and never answers.
inline TScript Silence()
{
    return { WaitRequest() };
}

} // namespace qtm_test
