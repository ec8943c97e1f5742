#include "MonitorFixture.h"

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
