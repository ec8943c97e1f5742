#include "MonitorFixture.h"

#include "service/LineSplitting.h"

void MonitorTest::SetUp()
{
    SetMessageBoxSinkForTesting([this](const QString& kind, const QString&, const QString& text) {
        if (kind == "error")
            errorBoxes.push_back(text);
    });
    CreateForm();
}

void MonitorTest::TearDown()
{
    form.reset();
    settings.reset();
    SetMessageBoxSinkForTesting(nullptr);
}

void MonitorTest::CreateForm(const std::string& extraSettings)
{
    form.reset();
    settings.reset();
    settings = std::make_unique<TempSettings>("[Settings]\nSnifferService=" + service.Address() + "\n" + extraSettings);
    form = std::make_unique<TSnifferMainForm>();
    form->resize(1008, 591);
}

void MonitorTest::Start()
{
    form->show();
}

TStringGrid& MonitorTest::grid()
{
    return *form->findChild<TStringGrid*>("StringGrid1");
}

TChart& MonitorTest::chartIn()
{
    return *form->findChild<TChart*>("ChartIn");
}

TChart& MonitorTest::chartOut()
{
    return *form->findChild<TChart*>("ChartOut");
}

void MonitorTest::PollOnce()
{
    probe().ProcessSnapshot(nullptr);
}

std::string MonitorTest::cell(int col, int row)
{
    return grid().Cell(col, row);
}

std::string HostLine(const Host& h)
{
    return h.address + "," + std::to_string(h.send) + "," + std::to_string(h.recv) + "," + std::to_string(h.sent) + ","
        + std::to_string(h.received);
}

std::string Snapshot(const std::vector<Host>& hosts)
{
    std::string s = "Quorvel test service, " + std::to_string(hosts.size()) + " hosts\r\n";
    for (const Host& h : hosts)
        s += HostLine(h) + "\r\n";
    return s + "end\r\n";
}

std::vector<Host> Hosts(int n, int64_t baseRate)
{
    std::vector<Host> hosts;
    for (int i = 0; i < n; ++i) {
        Host h;
        h.address = "198.18." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        h.send = baseRate / (i + 1);
        h.recv = 2 * baseRate / (i + 1);
        h.sent = 1000000 * int64_t(n - i);
        h.received = 2000000 * int64_t(n - i);
        hosts.push_back(h);
    }
    return hosts;
}

TStringList Lines(const std::string& text)
{
    TStringList list;
    ReplaceLines(text, list);
    return list;
}
