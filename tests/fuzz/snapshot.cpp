// Snapshot and history bodies from a service, through the window's snapshot processing: the
// fetch over the reused client, the table rows, totals, the graph samples and the charts'
// arrangement. The first byte picks the window's options; the rest is the body.
#include "FuzzSupport.h"

#include "FormProbe.h"

#include "base/Exception.h"
#include "base/StringList.h"
#include "base/StripMarkup.h"
#include "chart/TChart.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "graph/HostSeries.h"
#include "net/NetHTTP.h"
#include "service/LineSplitting.h"
#include "settings/SnifferSettings.h"
#include "table/QuickList.h"

#include <QApplication>
#include <QCheckBox>

#include <memory>

namespace {

TSnifferMainForm& Form()
{
    static int argc = 1;
    static char name[] = "fuzz_snapshot";
    static char* argv[] = { name, nullptr };
    // The application and the window live until the process ends: tearing them down from exit
    // handlers, in whatever order those run, would only test the teardown order.
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
    // The service is on loopback and the name list a file that does not exist, so nothing the
    // window might fetch on its own leaves the process; the window is never shown anyway.
    static qtm_fuzz::TMemoryFile settings("[Settings]\nSnifferService=127.0.0.1:9\nIPSource=/nonexistent/names\n");
    static TSnifferMainForm* form = [] {
        SnifferSettings::SetSettingsPathForTesting(settings.Path());
        auto f = std::make_unique<TSnifferMainForm>();
        f->resize(1008, 591);
        TQuickList& names = *FormProbe { *f }.HostNames();
        ReplaceLines("198.18.0.1=alpha\n198.18.0.2=beta\n10.0.0.1=gamma\n", names);
        NormalizeHostNames(names);
        return f.release();
    }();
    return *form;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    TSnifferMainForm& form = Form();
    FormProbe probe { form };
    const uint8_t options = data[0];
    const std::string_view body = qtm_fuzz::AsText(data + 1, size - 1);

    form.findChild<TRadioGroup*>("RadioGroup1")->SetItemIndex(options & 1);
    form.findChild<TRadioGroup*>("rgSpeed")->SetItemIndex((options >> 1) & 1);
    form.findChild<QCheckBox*>("cbActiveIPs")->setChecked(options & 4);
    form.findChild<QCheckBox*>("cbAverage")->setChecked(options & 8);
    probe.SpeedScale() = (options >> 1) & 1 ? 0.001 : 0.008;

    try {
        if (options & 16) {
            // A history body: blocks ended by "###" lines, each processed as one snapshot.
            TStringList lines;
            ReplaceLines(body, lines);
            TStringList block;
            for (int i = 0; i < lines.Count(); ++i) {
                if (StripMarkup(lines[i]) == "###") {
                    probe.ProcessSnapshot(&block);
                    block.Clear();
                } else {
                    block.Add(lines[i]);
                }
            }
        } else {
            // A live snapshot, fetched by the window's client from bytes in memory.
            std::string response
                = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
            auto client = std::make_unique<TNetHTTP>();
            client->SetIOHandler(new qtm_fuzz::TMemoryTransport(response));
            probe.Service().SetHttpClient(std::move(client));
            probe.ProcessSnapshot(nullptr);
            // The fetch may have discarded the client after a failure; never let a later
            // operation connect anywhere.
            probe.Service().Discard();
        }
        // Rows are written as they are read: read them all, from the bottom up, as a user
        // scrolling back to the top would.
        const TStringGrid& grid = *form.findChild<TStringGrid*>("StringGrid1");
        for (int row = grid.RowCount() - 1; row >= 0; --row)
            for (int col = 0; col < grid.ColCount(); ++col)
                (void)grid.Cell(col, row);
        HostSeries::ApplySeriesColors(*form.findChild<TChart*>("ChartIn"));
        HostSeries::ApplySeriesColors(*form.findChild<TChart*>("ChartOut"));
        probe.ArrangeCharts();
    } catch (const Exception&) {
        // The tick discards what a bad snapshot raises; the next one starts afresh.
        probe.Service().Discard();
    }
    return 0;
}
