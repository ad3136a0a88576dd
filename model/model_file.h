#pragma once
// Model files (.lvm): a versioned JSON document holding the model-wide settings, EPS and ALPHA,
// the time curve rows and every object with its source file, function, bindings, transform,
// box, grids, colours and ray-tracing settings. Objects are rebuilt by compiling their source
// files, so a model file stores no compiled code.
#include <string>
#include <vector>

#include "lang/settings.h"
#include "model/model.h"

namespace lv::model {

inline constexpr int kModelFileVersion = 1;
inline constexpr int kMaxGridCount = 1000; // cells per axis a model file may ask for

// One row of the time curve: the values of T1, T2, T3 for one animation frame.
struct TimeRow {
    float t1 = 0.0f, t2 = 0.0f, t3 = 0.0f;
    bool operator==(const TimeRow&) const = default;
};

// Everything a model file holds.
struct ModelFileContents {
    Model model;
    std::vector<TimeRow> timeRows;
    float eps = lang::kDefaultEps;
    float alpha = lang::kDefaultAlpha;
};

// The file's text for contents. Source paths below modelDir (an absolute directory) are
// written relative to it, others as they are.
std::string modelFileText(const ModelFileContents& contents, const std::string& modelDir);

// Parses text (named fileName in messages) into out, compiling each object's source through
// sources; relative source paths are taken from modelDir. Returns false with error set
// ("FILE: error: ..." naming the object at fault) and out untouched on any fault: malformed
// JSON, an unknown format or version, a missing, mistyped, non-finite or out-of-range field, a
// duplicate object name, a source that cannot be read or compiled, a missing function, or
// bindings that do not fit the compiled object. Never throws.
bool parseModelFile(const std::string& text, const std::string& fileName,
                    const std::string& modelDir, SourceProvider& sources,
                    ModelFileContents& out, std::string& error);

// Reads and parses the model file at path (see parseModelFile).
bool loadModelFile(const std::string& path, SourceProvider& sources, ModelFileContents& out,
                   std::string& error);

// Writes contents to path through a temporary file in the same directory renamed over the old
// file, so a failed save leaves the old file intact. Returns false with error set.
bool saveModelFile(const std::string& path, const ModelFileContents& contents,
                   std::string& error);

} // namespace lv::model
