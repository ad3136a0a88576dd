#include "dialogs/object_properties_rules.h"

#include <algorithm>

#include "app/number_text.h"

namespace lv::dialogs {

namespace {

constexpr const char* kTransformRows[9] = {"X translate", "Y translate", "Z translate",
                                           "X rotate",    "Y rotate",    "Z rotate",
                                           "X scale",     "Y scale",     "Z scale"};

// Reads typed text as the run-time conversion does; nullopt when it is not a storable float.
std::optional<float> storable(const std::string& text) {
    const double value = app::parseLooseReal(text);
    if (!app::isStorableFloat(value)) return std::nullopt;
    return static_cast<float>(value);
}

} // namespace

std::string bindingValueText(const model::ParameterBinding& binding) {
    switch (binding.kind) {
    case model::XAxis: return "X axis";
    case model::YAxis: return "Y axis";
    case model::ZAxis: return "Z axis";
    case model::T1: return "T1 time";
    case model::T2: return "T2 time";
    case model::T3: return "T3 time";
    default: return app::formatListValue(binding.value);
    }
}

ObjectPropertiesRules::ObjectPropertiesRules(const model::Model& model, int tab,
                                             const std::string& preselect) {
    model::ModelObject* fromCurrent = nullptr;
    model::ModelObject* fromPreselect = nullptr;
    for (int i = 0; i < model.count(); ++i) {
        copies_.push_back(model::copyModelObject(model.object(i)));
        if (&model.object(i) == model.currentObject()) fromCurrent = copies_.back().get();
        if (!preselect.empty() && model.object(i).name == preselect)
            fromPreselect = copies_.back().get();
        names_.push_back(model.object(i).name);
    }
    std::stable_sort(names_.begin(), names_.end(), lessIgnoringCase);
    model::ModelObject* first = fromPreselect ? fromPreselect : fromCurrent;
    int index = names_.empty() ? -1 : 0;
    if (first) {
        index = static_cast<int>(std::find(names_.begin(), names_.end(), first->name) -
                                 names_.begin());
    }
    tab_ = std::clamp(tab, 0, 2);
    selectObject(index);
}

void ObjectPropertiesRules::selectObject(int index) {
    if (index < 0 || index >= static_cast<int>(names_.size())) {
        selectedName_ = -1;
        selected_ = nullptr;
    } else {
        selectedName_ = index;
        const std::string& name = names_[static_cast<std::size_t>(index)];
        for (const auto& c : copies_)
            if (c->name == name) selected_ = c.get();
    }
    showTab(tab_);
}

void ObjectPropertiesRules::showTab(int tab) {
    tab_ = std::clamp(tab, 0, 2);
    fillRows();
    selectRow(rows_.empty() ? -1 : 0);
}

model::ParameterList* ObjectPropertiesRules::bindingList() const {
    if (!selected_ || tab_ == TransformTab) return nullptr;
    return tab_ == XAssignTab ? &selected_->xBindings : &selected_->aBindings;
}

float& ObjectPropertiesRules::transformEntry(int row) const {
    model::Transform& t = selected_->transform;
    std::array<float, 3>& group = row < 3 ? t.translate : row < 6 ? t.rotate : t.scale;
    return group[static_cast<std::size_t>(row % 3)];
}

void ObjectPropertiesRules::fillRows() {
    rows_.clear();
    refusedText_ = false;
    if (!selected_) return;
    if (tab_ == TransformTab) {
        for (int r = 0; r < 9; ++r)
            rows_.push_back({kTransformRows[r], app::formatListValue(transformEntry(r))});
        return;
    }
    const model::ParameterList& list = *bindingList();
    const char* letter = tab_ == XAssignTab ? "x" : "a";
    for (int i = 0; i < list.count(); ++i)
        rows_.push_back({std::string(letter) + "[" + std::to_string(i + 1) + "]",
                         bindingValueText(list.bindings[static_cast<std::size_t>(i)])});
}

void ObjectPropertiesRules::selectRow(int row) {
    row_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
    refusedText_ = false;
}

BindingControls ObjectPropertiesRules::controls() const {
    BindingControls c;
    model::ParameterList* list = bindingList();
    if (!list || row_ < 0) return c;
    const model::ParameterBinding& b = list->bindings[static_cast<std::size_t>(row_)];
    c.checkedKind = b.kind;
    // a components never hold an axis, so their axis choices stay disabled.
    c.axisEnabled = tab_ == XAssignTab;
    c.constantChoiceEnabled = c.timeEnabled = !model::isAxisKind(b.kind);
    if (b.kind == model::Constant) {
        c.constantFieldEnabled = true;
        c.constantText = app::formatListValue(b.value);
    }
    return c;
}

std::string ObjectPropertiesRules::valueFieldText() const {
    if (!valueFieldEnabled()) return {};
    return rows_[static_cast<std::size_t>(row_)].value;
}

void ObjectPropertiesRules::chooseKind(int kind) {
    model::ParameterList* list = bindingList();
    if (!list || row_ < 0) return;
    if (model::isAxisKind(kind)) {
        if (tab_ != XAssignTab) return;
        model::assignAxis(*selected_, kind, row_);
    } else {
        model::setKind(*list, row_, static_cast<model::BindingKind>(kind));
    }
    const int row = row_;
    fillRows();
    selectRow(row);
}

std::optional<Notice> ObjectPropertiesRules::typeConstant(const std::string& text) {
    model::ParameterList* list = bindingList();
    if (!list || row_ < 0 || list->bindings[static_cast<std::size_t>(row_)].kind != model::Constant)
        return std::nullopt;
    std::optional<float> value = storable(text);
    refusedText_ = !value;
    if (!value) return Notice{kNotFiniteMessage, NoticeIcon::Error};
    model::setValue(*list, row_, *value);
    rows_[static_cast<std::size_t>(row_)].value = app::formatListValue(*value);
    return std::nullopt;
}

std::optional<Notice> ObjectPropertiesRules::typeTransformValue(const std::string& text) {
    if (!valueFieldEnabled() || !selected_) return std::nullopt;
    std::optional<float> value = storable(text);
    refusedText_ = !value;
    if (!value) return Notice{kNotFiniteMessage, NoticeIcon::Error};
    transformEntry(row_) = *value;
    rows_[static_cast<std::size_t>(row_)].value = text;
    return std::nullopt;
}

std::optional<Notice> ObjectPropertiesRules::okRefusal() const {
    if (refusedText_) return Notice{kNotFiniteMessage, NoticeIcon::Error};
    return std::nullopt;
}

} // namespace lv::dialogs
