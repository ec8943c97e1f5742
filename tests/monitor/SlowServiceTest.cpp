#include "FormProbe.h"

#include "base/StringList.h"
#include "controls/MessageBoxes.h"
#include "service/FetchPace.h"
#include "support/ScriptedServer.h"
#include "support/SlowAnswers.h"
#include "support/TempSettings.h"
#include "table/QuickList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace qtm_test;
using namespace std::chrono_literals;

namespace {

// Records how long each event posted from another thread waited for the window's thread.
class LatencyProbe : public QObject {
public:
    struct Stamped : QEvent {
        explicit Stamped(std::chrono::steady_clock::time_point at)
            : QEvent(QEvent::User)
            , postedAt(at)
        {
        }
        std::chrono::steady_clock::time_point postedAt;
    };
    std::chrono::milliseconds longest { 0 };
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        const auto waited = std::chrono::steady_clock::now() - static_cast<Stamped*>(e)->postedAt;
        longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(waited));
        ++handled;
        return true;
    }
};

} // namespace

class SlowServiceTest : public ::testing::Test {
protected:
    TScriptedServer server;
    std::unique_ptr<TempSettings> settings;
    std::unique_ptr<TSnifferMainForm> form;

    void SetUp() override
    {
        SetMessageBoxSinkForTesting([](const QString&, const QString&, const QString&) {});
    }
    void TearDown() override
    {
        form.reset();
        settings.reset();
        SetMessageBoxSinkForTesting(nullptr);
    }
    void createForm(const TScript& answer)
    {
        form.reset();
        settings.reset();
        server.SetRepeatingScript(answer);
        settings = std::make_unique<TempSettings>(
            "[Settings]\nSnifferService=127.0.0.1:" + std::to_string(server.Port()) + "\n");
        form = std::make_unique<TSnifferMainForm>();
        form->resize(1008, 591);
    }
    FormProbe probe() { return FormProbe { *form }; }
    // Milliseconds the call took.
    template <typename F> static long timed(F&& f)
    {
        const auto start = std::chrono::steady_clock::now();
        f();
        return long(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    }
};

// Each fetch is bounded at 2 s as a whole; the margin covers a loaded machine, not another wait.
constexpr long FetchBoundMs = 2500;

TEST_F(SlowServiceTest, TheWindowAppearsWithinAFewSecondsAgainstASilentService)
{
    createForm(Silence());
    // The history may take its whole bound; the names and the first poll then wait for the
    // window's own moment instead of adding theirs.
    EXPECT_LT(timed([&] { form->show(); }), 3000);
    EXPECT_TRUE(probe().Timer1()->isActive());
}

TEST_F(SlowServiceTest, ATricklingServiceCostsPollsButNeverTheWindow)
{
    createForm(TricklingAnswer());
    EXPECT_LT(timed([&] { form->show(); }), 3000);
    // Name loads every few polls, so that the two fall due together within the run.
    probe().HostsTimer()->setInterval(4000);

    LatencyProbe latency;
    std::atomic<bool> posting { true };
    std::thread poster([&] {
        while (posting) {
            QCoreApplication::postEvent(&latency, new LatencyProbe::Stamped(std::chrono::steady_clock::now()));
            std::this_thread::sleep_for(150ms);
        }
    });
    QEventLoop loop;
    QTimer::singleShot(9000, &loop, &QEventLoop::quit);
    loop.exec();
    posting = false;
    poster.join();
    QCoreApplication::sendPostedEvents(&latency);

    EXPECT_GT(latency.handled, 20);
    EXPECT_LT(latency.longest.count(), FetchBoundMs);
    // Polls and name loads went on, each cut at its bound.
    int polls = 0, nameLoads = 0;
    for (const std::string& request : server.Requests()) {
        polls += request.rfind("GET / ", 0) == 0;
        nameLoads += request.rfind("GET /ip ", 0) == 0;
    }
    EXPECT_GE(polls, 1);
    EXPECT_GE(nameLoads, 1);
    EXPECT_TRUE(form->windowTitle().contains("no answer from the service since"));
}
