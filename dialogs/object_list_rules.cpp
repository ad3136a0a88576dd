#include "dialogs/object_list_rules.h"

#include <algorithm>

#include "dialogs/notice.h"

namespace lv::dialogs {

void ObjectListRules::refill() {
    items_.clear();
    for (int i = 0; i < model_.count(); ++i) items_.push_back(model_.object(i).name);
    std::stable_sort(items_.begin(), items_.end(), lessIgnoringCase);
    selection_.clear();
    if (const model::ModelObject* current = model_.currentObject()) {
        auto it = std::find(items_.begin(), items_.end(), current->name);
        if (it != items_.end()) selection_.push_back(static_cast<int>(it - items_.begin()));
    }
}

void ObjectListRules::setSelection(std::vector<int> indices) {
    std::erase_if(indices, [&](int i) { return i < 0 || i >= static_cast<int>(items_.size()); });
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    selection_ = std::move(indices);
}

std::vector<std::string> ObjectListRules::selectedNames() const {
    std::vector<std::string> names;
    for (int i : selection_) names.push_back(items_[static_cast<std::size_t>(i)]);
    return names;
}

} // namespace lv::dialogs
