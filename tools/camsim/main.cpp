// wrenfield-camsim: a simulated Hunt / Asoni camera or video server on loopback.
#include "CCamSimApp.h"
#include "CCamSimOptions.h"

#include <gst/gst.h>

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char** argv) {
    // Block the stop signals before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up mid-stream must not end the camera.
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = camsim::CCamSimOptions::Parse(args, error);
    if (!options) {
        if (error.empty()) {
            std::fputs(camsim::CCamSimOptions::Usage().c_str(), stdout);
            return 0;
        }
        std::fprintf(stderr, "wrenfield-camsim: %s\n\n%s", error.c_str(), camsim::CCamSimOptions::Usage().c_str());
        return 2;
    }

    gst_init(nullptr, nullptr);
    int status = 0;
    {
        camsim::CCamSimApp app(*options);
        if (!app.Start(error)) {
            std::fprintf(stderr, "wrenfield-camsim: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", app.ReadyLine().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&stopSignals, &received);
        app.Stop();
    }
    gst_deinit();
    return status;
}
