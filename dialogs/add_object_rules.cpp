#include "dialogs/add_object_rules.h"

#include <algorithm>

#include "app/library.h"
#include "app/model_loading.h"

namespace lv::dialogs {

std::string programErrorText(const std::string& message, int line) {
    return "Program contains errors:\nError text: " + message + "\nLine: " + std::to_string(line);
}

AddObjectRules::AddObjectRules(app::SourceCache& cache, const model::Model& model)
    : cache_(cache), model_(model) {}

void AddObjectRules::open() {
    if (cache_.library()) app::refreshLibrary(cache_);
    fillFiles({});
}

void AddObjectRules::fillFiles(const std::string& selectPath) {
    files_.clear();
    for (const auto& f : cache_.files())
        if (f && !f->hasError() && app::isCurrent(*f, cache_.library().get())) files_.push_back(f);
    sortFiles();
    selectedFile_ = -1;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i]->path == selectPath) selectedFile_ = static_cast<int>(i);
    updateFunctions();
}

void AddObjectRules::sortFiles() {
    std::stable_sort(files_.begin(), files_.end(), [&](const auto& a, const auto& b) {
        return lessIgnoringCase(app::displayName(*a, showPath_), app::displayName(*b, showPath_));
    });
}

std::vector<std::string> AddObjectRules::fileItems() const {
    std::vector<std::string> items;
    for (const auto& f : files_) items.push_back(app::displayName(*f, showPath_));
    return items;
}

void AddObjectRules::selectFile(int index) {
    selectedFile_ = index >= 0 && index < static_cast<int>(files_.size()) ? index : -1;
    updateFunctions();
}

std::string AddObjectRules::selectedPath() const {
    return selectedFile_ >= 0 ? files_[static_cast<std::size_t>(selectedFile_)]->path
                              : std::string();
}

void AddObjectRules::setShowPath(bool show) {
    const std::string selected = selectedPath();
    showPath_ = show;
    fillFiles(selected);
}

std::optional<Notice> AddObjectRules::browse(const std::string& path) {
    const std::string before = selectedPath();
    auto listed = std::find_if(files_.begin(), files_.end(),
                               [&](const auto& f) { return f->path == path; });
    if (listed != files_.end()) {
        if (app::isCurrent(**listed, cache_.library().get())) {
            selectFile(static_cast<int>(listed - files_.begin()));
            return std::nullopt;
        }
        // The file changed since it was compiled: forget that compilation and read it again.
        cache_.remove(path);
        files_.erase(listed);
    }
    std::optional<Notice> notice;
    std::shared_ptr<const app::CompiledFile> file = cache_.lookup(path);
    std::string select = before;
    if (!file) {
        notice = Notice{"Cannot read " + path + ": " + cache_.readError(), NoticeIcon::Error};
    } else if (file->hasError()) {
        notice = Notice{programErrorText(file->firstError->message, file->firstError->line),
                        NoticeIcon::Error};
    } else {
        files_.push_back(file);
        sortFiles();
        select = path;
    }
    selectedFile_ = -1;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i]->path == select) selectedFile_ = static_cast<int>(i);
    updateFunctions();
    return notice;
}

void AddObjectRules::updateFunctions() {
    functions_.clear();
    functionsEnabled_ = false;
    selectedFunction_ = -1;
    if (selectedFile_ >= 0) {
        for (const auto& o : files_[static_cast<std::size_t>(selectedFile_)]->objects)
            if (o) functions_.push_back(o->name);
        if (functions_.empty()) functions_.push_back(kNoFunctionsItem);
        else functionsEnabled_ = true;
        selectedFunction_ = 0;
    }
    updateName();
}

void AddObjectRules::selectFunction(int index) {
    if (!functionsEnabled_ || index < 0 || index >= static_cast<int>(functions_.size())) return;
    selectedFunction_ = index;
    updateName();
}

void AddObjectRules::updateName() {
    name_.clear();
    nameEnabled_ = functionsEnabled_ && selectedFunction_ >= 0;
    if (nameEnabled_) name_ = functions_[static_cast<std::size_t>(selectedFunction_)];
}

std::optional<Notice> AddObjectRules::staleFileNotice(const std::string& path,
                                                      const std::string& function, int* xSize) {
    std::shared_ptr<const app::CompiledFile> file = cache_.lookup(path);
    if (!file) return Notice{"Cannot read " + path + ": " + cache_.readError(), NoticeIcon::Error};
    if (file->hasError())
        return Notice{programErrorText(file->firstError->message, file->firstError->line),
                      NoticeIcon::Error};
    for (const auto& o : file->objects) {
        if (o && o->name == function) {
            *xSize = o->xSize;
            return std::nullopt;
        }
    }
    return Notice{"The file " + path + " no longer holds the function " + function +
                      ".\nAdding object canceled.",
                  NoticeIcon::Error};
}

AddObjectRules::OkDecision AddObjectRules::decideOk() {
    OkDecision d;
    if (!okEnabled()) return d;
    if (model_.findObject(name_) != nullptr) {
        d.notice = {kDuplicateNameMessage, NoticeIcon::Warning};
        d.focusName = true;
        return d;
    }
    // The function is judged as the file holds it now: it may have changed since it was listed.
    const std::string path = selectedPath();
    const std::string function = functions_[static_cast<std::size_t>(selectedFunction_)];
    int xSize = 0;
    if (std::optional<Notice> stale = staleFileNotice(path, function, &xSize)) {
        d.notice = *stale;
        fillFiles(path);
        return d;
    }
    if (!app::placeable(xSize)) {
        d.notice = {kSmallDimensionMessage, NoticeIcon::Error};
        return d;
    }
    d.add = true;
    d.name = name_;
    d.function = function;
    d.path = path;
    return d;
}

Notice AddObjectRules::addFailed() {
    const std::string path = selectedPath();
    const std::string function =
        selectedFunction_ >= 0 ? functions_[static_cast<std::size_t>(selectedFunction_)] : "";
    int xSize = 0;
    std::optional<Notice> stale = staleFileNotice(path, function, &xSize);
    fillFiles(path);
    if (stale) return *stale;
    return {"The object could not be added to the model.\nAdding object canceled.",
            NoticeIcon::Error};
}

} // namespace lv::dialogs
