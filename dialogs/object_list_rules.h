#pragma once
// The rules of the "Model objects" window without widgets: its sorted list of object names, the
// selection, the enabling of its buttons and its two questions. Items are names, looked up in
// the model when acted on, so a list older than the model never touches a destroyed object.
#include <string>
#include <vector>

#include "model/model.h"

namespace lv::dialogs {

inline constexpr const char* kRemoveQuestion = "Do you really want to remove selected objects?";
inline constexpr const char* kRemoveAllQuestion =
    "You are about to remove ALL objects from model.\nDo you really want to remove them?";

class ObjectListRules {
public:
    // model must outlive the rules.
    explicit ObjectListRules(const model::Model& model) : model_(model) {}

    // One item per object, sorted ignoring case; only the current object's item is selected.
    void refill();
    const std::vector<std::string>& items() const { return items_; }

    // Selected item indices, ascending.
    const std::vector<int>& selection() const { return selection_; }
    void setSelection(std::vector<int> indices);
    std::vector<std::string> selectedNames() const;

    bool removeEnabled() const { return !selection_.empty(); }
    bool propertiesEnabled() const { return selection_.size() == 1; }
    bool removeAllEnabled() const { return !items_.empty(); }

private:
    const model::Model& model_;
    std::vector<std::string> items_;
    std::vector<int> selection_;
};

} // namespace lv::dialogs
