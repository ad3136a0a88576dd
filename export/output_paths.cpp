#include "export/output_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/replacing_file.h"
#include "export/temp_registry.h"

namespace lv::exporter {

namespace {

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string joinExtensions(const std::vector<std::string>& extensions) {
    std::string text;
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (i > 0) text += i + 1 == extensions.size() ? " or " : ", ";
        text += extensions[i];
    }
    return text;
}

std::atomic<unsigned> stageCounter{0};

} // namespace

std::string lowerExtension(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    if (dot == (slash == std::string::npos ? 0 : slash + 1)) return ""; // ".hidden"
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::optional<std::string> outputPathProblem(const std::string& path,
                                             const std::vector<std::string>& extensions,
                                             const std::vector<std::string>& inputs) {
    if (path.empty()) return "an output name is needed";
    std::string ext = lowerExtension(path);
    if (!extensions.empty() &&
        std::find(extensions.begin(), extensions.end(), ext) == extensions.end())
        return (ext.empty() ? std::string("the name has no extension")
                            : "cannot write " + ext + " files") +
               "; use " + joinExtensions(extensions);
    struct stat st = {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "is a folder";
    for (const std::string& input : inputs)
        if (!input.empty() && sameFile(path, input))
            return "is the same file as the input " + input + "; it is not overwritten";
    std::string folder = folderOf(path);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "cannot write there: folder " + folder + " does not exist";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write there: folder " + folder + ": " + std::strerror(errno);
    return std::nullopt;
}

StagedOutputs::~StagedOutputs() { discard(); }

std::string StagedOutputs::stage(const std::string& target) {
    std::size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    Entry entry;
    entry.target = target;
    // The target's extension stays last: writers choose the file format by it.
    entry.staged = folder + "." + base.substr(0, 180) + ".part" + std::to_string(::getpid()) +
                   "_" + std::to_string(stageCounter++) + lowerExtension(target);
    entry.registration = registerTemporary(entry.staged);
    entries_.push_back(entry);
    return entry.staged;
}

bool StagedOutputs::commit(std::string& error) {
    for (Entry& e : entries_) {
        if (::rename(e.staged.c_str(), e.target.c_str()) != 0) {
            error = "cannot write '" + e.target + "': " + std::strerror(errno);
            discard();
            return false;
        }
        forgetTemporary(e.registration);
        e.registration = -1;
        e.staged.clear();
    }
    entries_.clear();
    return true;
}

void StagedOutputs::discard() {
    for (Entry& e : entries_) {
        if (!e.staged.empty()) ::unlink(e.staged.c_str());
        forgetTemporary(e.registration);
    }
    entries_.clear();
}

} // namespace lv::exporter
