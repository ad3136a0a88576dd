#pragma once
// The files a command writes: names checked before any work is done, and all of a command's
// outputs written under temporary names and put in place together only when every one was
// written, so that a failed or stopped run leaves none of them half written.
#include <optional>
#include <string>
#include <vector>

namespace lv::exporter {

// The extension of path's last component with its dot, in lower case; "" when it has none or
// the component starts with its only dot (".hidden").
std::string lowerExtension(const std::string& path);

// Why path cannot take an output, or nothing when it can: its extension is one of extensions
// (".bmp", ...; any letter case; not checked when extensions is empty), it is not a folder,
// its folder exists and can be written, and it is not the same file as any of inputs (links
// followed; empty inputs are skipped).
std::optional<std::string> outputPathProblem(const std::string& path,
                                             const std::vector<std::string>& extensions,
                                             const std::vector<std::string>& inputs);

class StagedOutputs {
public:
    StagedOutputs() = default;
    // Removes every staged file not yet put in place.
    ~StagedOutputs();
    StagedOutputs(const StagedOutputs&) = delete;
    StagedOutputs& operator=(const StagedOutputs&) = delete;

    // A fresh name beside target (".NAME.partPID_N.EXT" in target's folder, EXT being target's
    // extension so that writers pick the same format), recorded for removal on a terminating
    // signal, for the caller to write target's whole content into.
    std::string stage(const std::string& target);

    // Renames every staged file over its target, in the order staged. False with error set
    // ("cannot write 'PATH': REASON") when a rename fails; the files not yet renamed are then
    // removed.
    bool commit(std::string& error);

    // Removes every staged file not yet put in place.
    void discard();

private:
    struct Entry {
        std::string target;
        std::string staged;
        int registration = -1;
    };
    std::vector<Entry> entries_;
};

} // namespace lv::exporter
