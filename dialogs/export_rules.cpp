#include "dialogs/export_rules.h"

#include <sys/stat.h>

#include "export/replacing_file.h"

namespace lv::dialogs {

namespace {

const ExportSourceInfo kSources[kExportSourceCount] = {
    {"Polygonized Model Image", "Windows Bitmap", "bmp"},
    {"Raytraced Model Image", "Windows Bitmap", "bmp"},
    {"Polygonized Model to VRML", "VRML 2", "wrl"},
    {"Animation to a series of frames", "Windows Bitmap", "bmp"},
    {"Animated film", "Video for windows", "avi"},
};

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

const ExportSourceInfo& exportSourceInfo(int source) {
    return kSources[source >= 0 && source < kExportSourceCount ? source : 0];
}

bool isSourceAvailable(int source, const ExportState& state) {
    switch (source) {
    case kExportFrameImage:
    case kExportModelMesh: return state.frameRendered;
    case kExportFrameSeries: return state.anyFrameReady;
    case kExportFilm: return state.filmReady;
    case kExportRaytraced: return state.raytraced;
    default: return false;
    }
}

std::string exportFilter(int source) {
    const ExportSourceInfo& info = exportSourceInfo(source);
    return std::string(info.typeName) + " (*." + info.extension + ")";
}

ExportEnabling exportEnabling(int source, const ExportState& state, const std::string& fileName) {
    const bool available = isSourceAvailable(source, state);
    return {available, available && !fileName.empty()};
}

NameParts splitExportName(const std::string& text) {
    const std::size_t slash = text.rfind('/');
    const std::size_t dot = text.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {text, ""};
    return {text.substr(0, dot), text.substr(dot + 1)};
}

NameParts exportNameParts(const std::string& text, int source) {
    NameParts parts = splitExportName(text);
    if (parts.extension.empty()) parts.extension = exportSourceInfo(source).extension;
    return parts;
}

std::string exportFileName(const std::string& text, int source) {
    NameParts parts = exportNameParts(text, source);
    return parts.base + "." + parts.extension;
}

std::string replaceQuestion(const std::vector<std::string>& names) {
    if (names.size() == 1) return "The file " + names[0] + " already exists.\nReplace it?";
    return std::to_string(names.size()) + " files of the series already exist, the first " +
           names[0] + ".\nReplace them?";
}

bool runExport(int source, const std::string& fileName, Exporter& exporter,
               const ExportFeedback& feedback, std::string& error) {
    error.clear();
    auto finish = [&](bool ok) {
        if (feedback.result) feedback.result(ok ? kExportSuccessful : kExportFailed, ok);
        return ok;
    };
    if (fileName.empty() || !isSourceAvailable(source, exporter.state())) {
        error = "nothing to export from this source";
        return finish(false);
    }
    const NameParts parts = exportNameParts(fileName, source);
    const std::string path = parts.base + "." + parts.extension;
    std::vector<std::string> targets;
    if (source == kExportFrameSeries)
        targets = exporter.seriesNames(parts.base, parts.extension);
    else
        targets = {path};
    const std::string film = exporter.filmPath();
    std::vector<std::string> existing;
    for (const std::string& target : targets) {
        if (exporter::sameFile(target, film)) {
            error = "'" + target + "' is the temporary film";
            return finish(false);
        }
        if (exists(target)) existing.push_back(target);
    }
    if (!existing.empty() &&
        !(feedback.confirmReplace && feedback.confirmReplace(replaceQuestion(existing)))) {
        // The user kept the files: nothing is written and nothing is reported.
        error = "not replaced";
        return false;
    }
    bool ok = false;
    switch (source) {
    case kExportFrameImage: ok = exporter.saveFrameImage(path, error); break;
    case kExportRaytraced: ok = exporter.saveRaytracedImage(path, error); break;
    case kExportModelMesh: ok = exporter.saveModelMesh(path, error); break;
    case kExportFrameSeries:
        ok = exporter.saveFrameSeries(parts.base, parts.extension, error);
        break;
    case kExportFilm: ok = exporter.copyFilm(path, error); break;
    default: break;
    }
    return finish(ok);
}

} // namespace lv::dialogs
