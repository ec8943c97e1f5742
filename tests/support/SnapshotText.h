#pragma once

#include "base/StringList.h"

#include <cstdint>
#include <string>
#include <vector>

// A host line: address, send rate, receive rate, bytes sent, bytes received.
struct Host {
    std::string address;
    int64_t send = 0, recv = 0, sent = 0, received = 0;
};

std::string HostLine(const Host& h);
// A snapshot as the service sends it: a first and a last line around the host lines.
std::string Snapshot(const std::vector<Host>& hosts);
// n hosts 198.18.<i/250>.<i%250+1> (a benchmarking range, only ever text here) with falling
// traffic, the first the busiest.
std::vector<Host> Hosts(int n, int64_t baseRate = 100000);
// The text's lines as the monitor splits a fetched resource.
TStringList Lines(const std::string& text);
