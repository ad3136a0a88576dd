#include "render/film_convert.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace lv::render {
namespace {

// Runs program with args, stdin from /dev/null and stdout dropped; collects stderr into
// output. The exit status, or -1 when the program could not be started.
int runProgram(const std::string& program, const std::vector<std::string>& args,
               std::string& output) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return -1;
    }
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
        }
        ::dup2(pipeFds[1], 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string lastLine(const std::string& text) {
    std::string line, last;
    std::istringstream in(text);
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

} // namespace

std::string findFfmpeg() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/ffmpeg";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

bool convertFilm(const std::string& avi, const std::string& destination, FilmFormat format,
                 std::string& error) {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        error = kFfmpegMissing;
        return false;
    }
    // Written under a temporary name in the destination's folder and renamed at the end, so a
    // failed conversion leaves no partial film.
    const std::string temporary =
        destination + ".part" + (format == FilmFormat::Mp4 ? ".mp4" : ".gif");
    std::vector<std::string> args = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                     "-i", avi};
    if (format == FilmFormat::Mp4)
        args.insert(args.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-c:v", "libx264",
                                 "-pix_fmt", "yuv420p", "-f", "mp4", temporary});
    else
        args.insert(args.end(), {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-f",
                                 "gif", temporary});
    std::string output;
    const int status = runProgram(ffmpeg, args, output);
    if (status != 0) {
        ::unlink(temporary.c_str());
        const std::string why = lastLine(output);
        error = "ffmpeg could not convert '" + avi + "'" + (why.empty() ? "" : ": " + why);
        return false;
    }
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        error = "cannot write '" + destination + "': " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace lv::render
