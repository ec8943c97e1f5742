#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string serviceExecutable()
{
    return SNIFFER_SERVICE_EXE;
}

// The service as its own process, with stdout and stderr captured.
class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> args, bool asNobody = false)
    {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            if (asNobody && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(126);
            std::string exe = serviceExecutable();
            std::vector<char*> argv { exe.data() };
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~ServiceProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    // Reads output until the text appears or the limit passes.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds limit)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        while (output_.find(text) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p { out_, POLLIN, 0 };
            if (poll(&p, 1, int(left.count())) <= 0)
                return false;
            char buffer[4096];
            ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0)
                return output_.find(text) != std::string::npos;
            output_.append(buffer, size_t(n));
        }
        return true;
    }
    // Exit status, or -1 when the process did not end within the limit.
    int waitForExit(std::chrono::milliseconds limit)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                waitForOutput("\x01", std::chrono::milliseconds(200));
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    void signal(int number) { kill(pid_, number); }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    std::string output_;
};

} // namespace

TEST(ServiceProcess, BadCommandLinesEndWithAMessageAndAnError)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        { { "--bogus" }, 2, "unknown option" },
        { { "--demo", "--hosts", "many" }, 2, "--hosts needs a number" },
        { { "--interface", "qtm-no-such-if0", "--network", "10.0.0.0/8", "--listen", "127.0.0.1:0" }, 1,
            "no such interface: qtm-no-such-if0" },
        { { "--read", "/nonexistent/x.pcap", "--network", "10.0.0.0/8", "--listen", "127.0.0.1:0" }, 1,
            "/nonexistent/x.pcap" },
        { { "--demo", "--names", "/nonexistent/names", "--listen", "127.0.0.1:0" }, 1, "/nonexistent/names" },
    };
    for (const auto& c : cases) {
        ServiceProcess p(c.args);
        EXPECT_EQ(p.waitForExit(std::chrono::seconds(10)), c.status) << c.args[0];
        EXPECT_NE(p.output().find(c.message), std::string::npos) << p.output();
    }
}

TEST(ServiceProcess, TakenPortIsReportedAndTermStopsCleanly)
{
    ServiceProcess first({ "--demo", "--listen", "127.0.0.1:0" });
    ASSERT_TRUE(first.waitForOutput("\n", std::chrono::seconds(10))) << first.output();
    auto at = first.output().find("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << first.output();
    int port = std::stoi(first.output().substr(at + 10));

    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    ServiceProcess second({ "--demo", "--listen", "127.0.0.1:" + std::to_string(port) });
    EXPECT_EQ(second.waitForExit(std::chrono::seconds(10)), 1);
    EXPECT_NE(second.output().find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos)
        << second.output();

    first.signal(SIGTERM);
    EXPECT_EQ(first.waitForExit(std::chrono::seconds(10)), 0) << first.output();

    ServiceProcess third({ "--demo", "--listen", "127.0.0.1:0" });
    ASSERT_TRUE(third.waitForOutput("listening", std::chrono::seconds(10)));
    third.signal(SIGINT);
    EXPECT_EQ(third.waitForExit(std::chrono::seconds(10)), 0) << third.output();
}

TEST(ServiceProcess, CaptureWithoutRightsIsRefusedWithAHint)
{
    // Run as nobody: without its capabilities the capture cannot open even the loopback device.
    ServiceProcess p({ "--interface", "lo", "--network", "127.0.0.0/8", "--listen", "127.0.0.1:0" }, true);
    int status = p.waitForExit(std::chrono::seconds(10));
    if (status == 126)
        GTEST_SKIP() << "cannot switch to the user nobody";
    EXPECT_EQ(status, 1) << p.output();
    EXPECT_NE(p.output().find("no permission to capture on lo"), std::string::npos) << p.output();
    EXPECT_NE(p.output().find("CAP_NET_RAW and CAP_NET_ADMIN"), std::string::npos) << p.output();
    EXPECT_NE(p.output().find("setcap cap_net_raw,cap_net_admin=eip /"), std::string::npos) << p.output();
}
