#include "export/povray_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "export/temp_registry.h"

namespace lv::exporter {

namespace {

constexpr const char* kPackageAdvice =
    "install the Debian package povray (apt-get install povray), or set LUMOVAR_POVRAY to the "
    "program";

std::string absolute(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

bool executableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The absolute path of name itself when it holds a slash, else of the first executable name
// in a folder of PATH; empty when there is none. Absolute, because the program runs elsewhere.
std::string lookUp(const std::string& name) {
    if (name.find('/') != std::string::npos) return executableFile(name) ? absolute(name) : "";
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (executableFile(candidate)) return absolute(candidate);
        start = end + 1;
    }
    return "";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The signals whose handlers clean up after this process: blocked around fork, so that the child
// is recorded before a handler could look for it, and set back to their default in the child
// before it runs the program.
sigset_t terminatingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    return set;
}

// Waits for child, asking stopRequested meanwhile; kills child's group when it says true.
// Returns whether it was stopped; status is the child's wait status.
bool waitFor(pid_t child, int handle, const std::function<bool()>& stopRequested, int& status,
             std::string& error) {
    bool stopped = false;
    for (;;) {
        siginfo_t info = {};
        // WNOWAIT: the child stays unreaped (its number ours) until its record is dropped.
        if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) < 0) {
            if (errno == EINTR) continue;
            error = std::string("lost the ray tracer: ") + std::strerror(errno);
            break;
        }
        if (info.si_pid == child) break;
        if (!stopped && stopRequested && stopRequested()) {
            stopped = true;
            ::kill(-child, SIGKILL);
            continue;
        }
        const timespec pause = {0, 5'000'000}; // 5 ms
        ::nanosleep(&pause, nullptr);
    }
    forgetChildGroup(handle);
    // Whatever else runs in the group (a script's own children) ends with the leader.
    if (stopped) ::kill(-child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return stopped;
}

} // namespace

std::string findPovray(std::string& error) {
    const char* chosen = std::getenv(kPovrayVariable);
    if (chosen != nullptr && *chosen != '\0') {
        std::string found = lookUp(chosen);
        if (found.empty())
            error = std::string("cannot run the ray tracer: ") + kPovrayVariable + " names '" +
                    chosen + "', which is not an executable program; " + kPackageAdvice;
        return found;
    }
    std::string found = lookUp("povray");
    if (found.empty())
        error = std::string("cannot run the ray tracer: povray was not found on PATH; ") +
                kPackageAdvice;
    return found;
}

bool runPovray(const std::string& program, const std::string& dir, const std::string& options,
               const std::string& log, std::string& error,
               const std::function<bool()>& stopRequested) {
    // Everything the child needs is made before fork: it only calls async-signal-safe functions.
    std::vector<std::string> args = {program, options, "-D"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string logPath = dir + "/" + log;
    const sigset_t blocked = terminatingSignals();
    sigset_t previous;
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    const pid_t child = ::fork();
    const int forkError = errno;
    if (child == 0) {
        // A group of its own, so that a stop ends everything it starts and a terminal's
        // interrupt reaches only this process, which then ends the group itself.
        ::setpgid(0, 0);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old = {};
            ::sigaction(s, nullptr, &old);
            if (old.sa_handler == SIG_IGN) continue;
            struct sigaction plain = {};
            plain.sa_handler = SIG_DFL;
            sigemptyset(&plain.sa_mask);
            ::sigaction(s, &plain, nullptr);
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || ::chdir(dir.c_str()) != 0 || ::dup2(in, 0) < 0 ||
            ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0)
            ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int handle = -1;
    if (child > 0) {
        ::setpgid(child, child); // also here, so that the group exists before it is killed
        handle = registerChildGroup(child);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0) {
        error = std::string("cannot start the ray tracer: ") + std::strerror(forkError);
        return false;
    }
    int status = 0;
    error.clear();
    if (waitFor(child, handle, stopRequested, status, error)) {
        error = kPovrayStopped;
        return false;
    }
    if (!error.empty()) return false;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    const std::string output = readFile(logPath);
    if (WIFSIGNALED(status))
        error = "POV-Ray was stopped by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127)
        error = "cannot start the ray tracer " + program;
    else
        error = "POV-Ray failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    std::string explanation = povrayErrorLines(output);
    if (!explanation.empty()) error += ":\n" + explanation;
    return false;
}

std::string povrayErrorLines(const std::string& output) {
    std::vector<std::string> all = lines(output);
    std::size_t first = all.size();
    for (std::size_t i = 0; i < all.size() && first == all.size(); ++i)
        if (all[i].find("Error") != std::string::npos ||
            all[i].find("error") != std::string::npos)
            first = i;
    std::vector<std::string> picked;
    if (first < all.size()) {
        for (std::size_t i = first; i < all.size() && picked.size() < 20; ++i)
            if (!blank(all[i])) picked.push_back(all[i]);
    } else {
        for (const std::string& line : all)
            if (!blank(line)) picked.push_back(line);
        if (picked.size() > 10) picked.erase(picked.begin(), picked.end() - 10);
    }
    std::string text;
    for (const std::string& line : picked) text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::string povrayWarningLines(const std::string& output) {
    std::vector<std::string> warnings; // each with its continuation lines
    for (const std::string& line : lines(output)) {
        if (line.find("Warning:") != std::string::npos)
            warnings.push_back(line + "\n");
        else if (!warnings.empty() && !warnings.back().empty() && !line.empty() && line[0] == ' ')
            warnings.back() += line + "\n";
        else if (!warnings.empty() && !warnings.back().empty())
            warnings.emplace_back(); // ends the warning
    }
    std::string text;
    for (const std::string& w : warnings)
        if (w.find("faster rendering") == std::string::npos) text += w;
    return text;
}

} // namespace lv::exporter
