#pragma once

#include "app/SnifferMainForm.h"
#include "ui_SnifferMainForm.h"

#include "controls/TSaveDialog.h"
#include "controls/TStringGrid.h"

#include <vector>

// Reaches the window's private state and operations for tests.
struct FormProbe {
    TSnifferMainForm& f;
    Ui::SnifferMainForm& ui() { return *f.ui; }
    double& SampleIndex() { return f.SampleIndex; }
    std::string& ServiceAddress() { return f.ServiceAddress; }
    int32_t& BoldCharCountValue() { return f.BoldCharCountValue; }
    TNetHTTP* HttpClient() { return f.service_.HttpClient(); }
    TServiceAccess& Service() { return f.service_; }
    TDateTime& LastTick() { return f.poll_.LastTick(); }
    double& SpeedScale() { return f.SpeedScale; }
    TQuickList* HostNames() { return f.HostNames; }
    QTimer* Timer1() { return f.Timer1; }
    QTimer* HostsTimer() { return f.HostsTimer; }
    TSaveDialog* SaveDialog1() { return f.SaveDialog1; }
    bool FetchLines(const std::string& location, TStringList& target) { return f.FetchLines(location, target); }
    void LoadHostNames() { f.LoadHostNames(); }
    bool ProcessSnapshot(const TStringList* lines) { return f.ProcessSnapshot(lines); }
    bool LoadHistory() { return f.LoadHistory(); }
    bool ApplyHistory(const std::function<bool(const std::function<bool(const TStringList&)>&)>& replay)
    {
        return f.ApplyHistory(replay);
    }
    // Prepared history blocks, applied as a replay applies them.
    bool ReplayBlocks(const std::vector<TStringList>& blocks)
    {
        return f.ApplyHistory([&](const TSnifferMainForm::THistoryBlockHandler& apply) {
            bool applied = false;
            for (const TStringList& block : blocks)
                applied = apply(block) || applied;
            return applied;
        });
    }
    void ArrangeCharts() { f.ArrangeCharts(); }
    std::string FormatSpeed(int64_t v) { return f.FormatSpeed(v); }
    void DrawCell(TGridCanvas& c, int col, int row, const QRect& r)
    {
        f.StringGrid1DrawCell(c, col, row, r, TGridDrawState {});
    }
};
