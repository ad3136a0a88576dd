#pragma once
// The rules of the "Add Object" dialog without widgets: which compiled files and functions it
// lists, what the name field and OK allow, what Browse and OK do and which message each gives.
// The widgets mirror this state after every call.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/source_cache.h"
#include "dialogs/notice.h"
#include "model/model.h"

namespace lv::dialogs {

inline constexpr const char* kBrowseTitle = "Select file with source text ...";
// On Linux file names are case-sensitive, so the filter names both spellings.
inline constexpr const char* kBrowseFilter = "Lumovar Files (*.LV) (*.lv *.LV)";
inline constexpr const char* kNoFunctionsItem = "There are no functions in the LV file";
inline constexpr const char* kDuplicateNameMessage =
    "An object with the same name is already present in the model. Choose another name.";
inline constexpr const char* kSmallDimensionMessage =
    "You may work only with those objetcs whose dimension of X greater than 2\n"
    "Adding object canceled.";

// The error report of a file that does not compile.
std::string programErrorText(const std::string& message, int line);

class AddObjectRules {
public:
    // cache and model must outlive the rules.
    AddObjectRules(app::SourceCache& cache, const model::Model& model);

    // Opening: compiles a stale library again, lists every error-free file of the cache that
    // is current against the library, and updates the function list.
    void open();

    // The file list: display names sorted ignoring case, and the selected entry (-1: none).
    std::vector<std::string> fileItems() const;
    int selectedFile() const { return selectedFile_; }
    void selectFile(int index);
    // Full path of the selected file, empty when none.
    std::string selectedPath() const;
    bool showPath() const { return showPath_; }
    // Shows full paths or plain names; the selected file stays selected.
    void setShowPath(bool show);
    // After the open-file dialog returned path: selects the listed file, or compiles the file
    // and lists it. A file with an error (or that cannot be read) gives the notice to show.
    std::optional<Notice> browse(const std::string& path);

    // The function list: names in file order, or the one disabled placeholder item.
    const std::vector<std::string>& functionItems() const { return functions_; }
    bool functionsEnabled() const { return functionsEnabled_; }
    int selectedFunction() const { return selectedFunction_; }
    void selectFunction(int index);

    const std::string& nameText() const { return name_; }
    bool nameEnabled() const { return nameEnabled_; }
    void editName(const std::string& text) { name_ = text; }
    bool okEnabled() const { return nameEnabled_ && !name_.empty(); }

    // What OK does now. Add: the widgets add the object (name, function, path) and close.
    // Refuse: the notice is shown and the dialog stays open, with the focus on the name field
    // when focusName is set. A file that changed since it was listed and can no longer give the
    // function refuses with the reason and refreshes the lists.
    struct OkDecision {
        bool add = false;
        Notice notice;
        bool focusName = false;
        std::string name, function, path;
    };
    OkDecision decideOk();
    // After the model refused the object that decideOk allowed: the reason to show, with the
    // lists refreshed.
    Notice addFailed();

private:
    void fillFiles(const std::string& selectPath);
    void sortFiles();
    void updateFunctions();
    void updateName();
    std::optional<Notice> staleFileNotice(const std::string& path, const std::string& function,
                                          int* xSize);

    app::SourceCache& cache_;
    const model::Model& model_;
    bool showPath_ = true;
    std::vector<std::shared_ptr<const app::CompiledFile>> files_; // in list order
    int selectedFile_ = -1;
    std::vector<std::string> functions_;
    bool functionsEnabled_ = false;
    int selectedFunction_ = -1;
    std::string name_;
    bool nameEnabled_ = false;
};

} // namespace lv::dialogs
