#include "cli/signals.h"

#include <signal.h>
#include <sys/time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/args.h"
#include "export/temp_registry.h"
#include "lang/stop_token.h"

namespace lv::cli {

namespace {

void onTerminatingSignal(int signal) {
    exporter::removeRegisteredTemporaries();
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal); // delivered on return: the process ends with the signal's own status
}

void onAlarm(int) { lang::evaluationStop().requestStop(); }

void handle(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Block the other terminating signals while one is handled: the table is swept once.
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

void installCleanupHandlers() {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        sigaction(s, nullptr, &old);
        // A signal ignored by whoever started us (nohup, background jobs) stays ignored.
        if (old.sa_handler == SIG_IGN) continue;
        handle(s, onTerminatingSignal);
    }
}

bool parseTimeout(const std::string& text, double& seconds, std::string& error) {
    float value = 0.0f;
    if (!parseFloat(text, value) || !(value > 0.0f) || value > 1.0e6f) {
        error = "--timeout must be a number of seconds above 0 and at most 1000000";
        return false;
    }
    seconds = value;
    return true;
}

void armTimeout(double seconds) {
    lang::evaluationStop().reset();
    handle(SIGALRM, onAlarm);
    itimerval timer = {};
    double whole = std::floor(seconds);
    timer.it_value.tv_sec = static_cast<time_t>(whole);
    timer.it_value.tv_usec = static_cast<suseconds_t>((seconds - whole) * 1e6);
    if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0) timer.it_value.tv_usec = 1;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

bool timedOut() { return lang::evaluationStop().stopRequested(); }

int reportTimeout(const char* command, const std::string& object, double seconds) {
    std::fprintf(stderr, "lumovar %s: object '%s' did not finish within %g s (--timeout)\n",
                 command, object.c_str(), seconds);
    return kExitUserError;
}

} // namespace lv::cli
