#pragma once

#include "HostAddress.h"
#include "TrafficCounter.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Everything a scrape of "/metrics" reports, copied out of the service's counters.
struct MetricsInput {
    std::vector<HostRow> hosts; // rates over the last five seconds, as on "/"
    std::map<HostAddress, std::string> names;
    // Unix time at which the service's second 0 began, so that a host's first second becomes a date.
    int64_t firstSecondTime = 0;
    size_t hostsTracked = 0;
    uint64_t hostsEvicted = 0;
    uint64_t evictedSent = 0;
    uint64_t evictedReceived = 0;

    // The demo has no capture and reports zeros, so that dashboards and alerts work the same.
    uint64_t packetsSeen = 0;
    uint64_t kernelDrops = 0;
    uint64_t interfaceDrops = 0;

    bool replaying = false;
    uint64_t fileBytesRead = 0;
    uint64_t fileBytes = 0;
    bool replayFinished = false;

    std::vector<std::pair<std::string, uint64_t>> requests; // per resource path
    uint64_t refusedRequests = 0;
    std::string version;
    std::string mode; // "demo", "interface" or "file"
};

// The Prometheus text exposition format (version 0.0.4) of the input.
std::string MetricsText(const MetricsInput& input);

// A label value between double quotes: backslash, quote and line feed escaped; the service's
// single-byte names are Latin-1, and the format wants UTF-8.
std::string MetricsLabelValue(std::string_view text);

constexpr const char* MetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
