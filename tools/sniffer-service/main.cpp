#include "SnifferService.h"
#include "base/Exception.h"

#include <csignal>
#include <iostream>
#include <pthread.h>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    ServiceOptions options;
    try {
        options = ParseServiceOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "sniffer-service: " << e.what() << "\n" << ServiceUsage;
        return 2;
    }
    if (options.help) {
        std::cout << ServiceUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "sniffer-service " QTM_VERSION "\n";
        return 0;
    }

    // Every thread inherits the blocked signals, so SIGINT and SIGTERM reach only the sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Each client holds a descriptor; the usual soft limit of 1,024 would refuse a site's worth
    // of monitors long before the service's own connection limit.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    try {
        SnifferService service(options);
        int port = service.start();
        std::cout << "sniffer-service: listening on " << options.listenHost << ":" << port << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        std::cout << "sniffer-service: stopping" << std::endl;
        service.stop();
    } catch (const Exception& e) {
        std::cerr << "sniffer-service: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
