#pragma once

#include "FormProbe.h"

#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/MessageBoxes.h"
#include "controls/TStringGrid.h"
#include "support/FakeSnifferService.h"
#include "support/TempSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A window whose settings point at a loopback service of the test's own. The window is not shown,
// so nothing runs until a test calls it; Start() runs the show sequence.
class MonitorTest : public ::testing::Test {
protected:
    FakeSnifferService service;
    std::unique_ptr<TempSettings> settings;
    std::unique_ptr<TSnifferMainForm> form;
    std::vector<QString> errorBoxes;

    void SetUp() override;
    void TearDown() override;
    void CreateForm(const std::string& extraSettings = "");
    void Start();
    FormProbe probe() { return FormProbe { *form }; }
    TStringGrid& grid();
    TChart& chartIn();
    TChart& chartOut();
    template <typename T> T* control(const char* name) { return form->findChild<T*>(name); }
    // Runs one live snapshot straight from the service.
    void PollOnce();
    std::string cell(int col, int row);
};

// A host line: address, send rate, receive rate, bytes sent, bytes received.
struct Host {
    std::string address;
    int64_t send = 0, recv = 0, sent = 0, received = 0;
};

std::string HostLine(const Host& h);
// A snapshot as the service sends it: a first and a last line around the host lines.
std::string Snapshot(const std::vector<Host>& hosts);
// n hosts 198.18.<i/250>.<i%250+1> (a benchmarking range, only ever text here) with falling traffic, the first the
// busiest.
std::vector<Host> Hosts(int n, int64_t baseRate = 100000);
TStringList Lines(const std::string& text);
