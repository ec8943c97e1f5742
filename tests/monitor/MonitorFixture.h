#pragma once

#include "FormProbe.h"

#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/MessageBoxes.h"
#include "controls/TStringGrid.h"
#include "support/FakeSnifferService.h"
#include "support/SnapshotText.h"
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
