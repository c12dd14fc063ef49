#include "endrequest.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> EndSignals = {SIGTERM, SIGINT, SIGHUP};

// The signal handler may only do async-signal-safe work: it writes one byte into a pipe whose
// other end the event loop watches.
volatile sig_atomic_t gWakeWrite = -1;

extern "C" void OnEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(gWakeWrite, &byte, 1);
    errno = saved;
}

class TEndRequestWatch {
public:
    explicit TEndRequestWatch(std::function<void()> handler) : FHandler(std::move(handler)) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        FRead = fds[0];
        FWrite = fds[1];
        gWakeWrite = FWrite;
        FNotifier = std::make_unique<QSocketNotifier>(FRead, QSocketNotifier::Read);
        QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Deliver(); });
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int sig : EndSignals)
            sigaction(sig, &action, nullptr);
    }

    ~TEndRequestWatch() {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (const int sig : EndSignals)
            sigaction(sig, &action, nullptr);
        gWakeWrite = -1;
        FNotifier.reset();
        if (FRead >= 0)
            close(FRead);
        if (FWrite >= 0)
            close(FWrite);
    }

    TEndRequestWatch(const TEndRequestWatch&) = delete;
    TEndRequestWatch& operator=(const TEndRequestWatch&) = delete;

private:
    void Deliver() {
        char buffer[16];
        bool requested = false;
        while (read(FRead, buffer, sizeof buffer) > 0)
            requested = true;
        // Several signals in a row are one request: the window closes once.
        if (requested && FHandler)
            FHandler();
    }

    std::function<void()> FHandler;
    int FRead = -1;
    int FWrite = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

std::unique_ptr<TEndRequestWatch> gWatch;

} // namespace

void SetEndRequestHandler(std::function<void()> handler) {
    gWatch.reset();
    if (handler)
        gWatch = std::make_unique<TEndRequestWatch>(std::move(handler));
}
