#pragma once
// What the export dialog offers, accepts and does, without widgets: its five sources with their
// availability, the file name split into base and extension, the browse filter, the enabling of
// its controls, and one export from the chosen source through the exporter the caller provides.
#include <functional>
#include <string>
#include <vector>

namespace lv::dialogs {

// Sources in the order of the "Select source to e&xport:" list; the index is the number.
enum ExportSource {
    kExportFrameImage = 0,  // the rendered single frame as an image file
    kExportRaytraced = 1,   // the latest ray-traced picture as an image file
    kExportModelMesh = 2,   // the rendered single frame's meshes as a VRML (or other mesh) file
    kExportFrameSeries = 3, // one image file per rendered animation frame
    kExportFilm = 4,        // a copy of the compiled film
};
inline constexpr int kExportSourceCount = 5;

struct ExportSourceInfo {
    const char* listText;
    const char* typeName;
    const char* extension; // the default one, without the period
};

// The list text, type name and default extension of source 0..4.
const ExportSourceInfo& exportSourceInfo(int source);

inline constexpr const char* kExportBrowseTitle = "Select file name to export to";
inline constexpr const char* kExportSuccessful = "Export successful";
inline constexpr const char* kExportFailed = "Export failed";

// What the sources depend on, read from the application when the dialog opens.
struct ExportState {
    bool frameRendered = false; // the single-frame job exists and is rendered
    bool anyFrameReady = false; // some animation frame is rendered
    bool filmReady = false;     // a film has been built and can be read
    bool raytraced = false;     // a ray-traced picture exists
};

// Whether source (any number; -1 is no selection) can be exported in state.
bool isSourceAvailable(int source, const ExportState& state);

// The file-dialog filter of source: "TYPE (*.EXT)" with pattern "*.EXT" (Qt's form of both).
std::string exportFilter(int source);

// Which controls are enabled: the file name label, field and "&Browse" (fileControls), and
// "&Export".
struct ExportEnabling {
    bool fileControls = false;
    bool exportButton = false;
};
ExportEnabling exportEnabling(int source, const ExportState& state, const std::string& fileName);

struct NameParts {
    std::string base;
    std::string extension; // without the period; empty when the name has none
};

// Splits at the last '.' when it comes after the last '/': base before it, extension after it
// (kept as typed); otherwise the whole text is the base and the extension is empty.
NameParts splitExportName(const std::string& text);

// The name split, with an empty extension replaced by source's default one.
NameParts exportNameParts(const std::string& text, int source);
// base "." extension of exportNameParts: the file a single-file source writes.
std::string exportFileName(const std::string& text, int source);

// What an export writes with; the application's implementation works on its render jobs, time
// curve and film, tests give their own. Each write returns false with error set on failure and
// never leaves a partial file at the named path.
class Exporter {
public:
    virtual ~Exporter() = default;
    virtual ExportState state() const = 0;
    // The absolute path of the temporary film, or empty when there is none.
    virtual std::string filmPath() const = 0;
    // The file names the frame series would write for base and extension, in row order.
    virtual std::vector<std::string> seriesNames(const std::string& base,
                                                 const std::string& extension) const = 0;
    virtual bool saveFrameImage(const std::string& path, std::string& error) = 0;
    // The latest ray-traced picture, PNG for a name ending in ".png", else a bitmap.
    virtual bool saveRaytracedImage(const std::string& path, std::string& error) = 0;
    virtual bool saveModelMesh(const std::string& path, std::string& error) = 0;
    virtual bool saveFrameSeries(const std::string& base, const std::string& extension,
                                 std::string& error) = 0;
    virtual bool copyFilm(const std::string& path, std::string& error) = 0;
};

// How an export talks to the user: the question before replacing files (Yes/No, No the
// default; true for Yes) and the closing message (success or failure).
struct ExportFeedback {
    std::function<bool(const std::string& question)> confirmReplace;
    std::function<void(const std::string& text, bool success)> result;
};

// The question asked before existing files are replaced: names holds them (one at least).
std::string replaceQuestion(const std::vector<std::string>& names);

// "&Export": splits fileName, refuses an unavailable source, a target that is the temporary
// film and files the user does not want replaced, then writes through exporter and reports
// "Export successful" or "Export failed". Returns whether the export succeeded; error says why
// it failed, when a writer said.
bool runExport(int source, const std::string& fileName, Exporter& exporter,
               const ExportFeedback& feedback, std::string& error);

} // namespace lv::dialogs
