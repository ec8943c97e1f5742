#include "MonitorFixture.h"

#include "table/QuickList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <fstream>
#include <unistd.h>

TEST_F(MonitorTest, NamesComeFromTheServiceAndStayWhenItFails)
{
    service.Set("/ip",
        "198.18.0.12 = twelve\r\n 198.18.0.1= file server <br>\r\nno-equals-line\r\n198.18.0.3=\r\n"
        "198.18.0.4=a very long host name=second\r\n");
    probe().LoadHostNames();
    TQuickList& names = *probe().HostNames();
    EXPECT_EQ(names.Lookup("198.18.0.1"), "file server");
    EXPECT_EQ(names.Lookup("198.18.0.12"), "twelve");
    EXPECT_EQ(names.Lookup("198.18.0.3"), "");
    EXPECT_EQ(names.Lookup("198.18.0.4"), "a very long hos");
    EXPECT_EQ(names.Count(), 3);

    service.Remove("/ip");
    probe().LoadHostNames();
    EXPECT_EQ(names.Lookup("198.18.0.1"), "file server");
}

TEST_F(MonitorTest, NameSourceFromTheSettingsIsReadAtEveryRefresh)
{
    const std::string path = "/tmp/qtm-names-" + std::to_string(getpid()) + ".txt";
    std::ofstream(path) << "198.18.0.7=seven\n";
    settings->Write("[Settings]\nSnifferService=" + service.Address() + "\nIPSource=" + path + "\n");
    probe().LoadHostNames();
    EXPECT_EQ(probe().HostNames()->Lookup("198.18.0.7"), "seven");
    std::remove(path.c_str());
    probe().LoadHostNames(); // a missing file empties the directory
    EXPECT_EQ(probe().HostNames()->Count(), 0);
    EXPECT_EQ(probe().HostNames()->Lookup("198.18.0.7"), "");
}

TEST_F(MonitorTest, RefreshTimerReloadsTheNames)
{
    service.Set("/ip", "198.18.0.9=nine\n");
    probe().HostsTimer()->setInterval(10);
    QElapsedTimer t;
    t.start();
    while (probe().HostNames()->Lookup("198.18.0.9").empty() && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(probe().HostNames()->Lookup("198.18.0.9"), "nine");
    EXPECT_TRUE(probe().HostsTimer()->isActive());
}
