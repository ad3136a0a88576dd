#pragma once
// The rules of the "General Objects Properties" dialog without widgets. It edits working copies
// of every model object: the x and a bindings on the "X assign" and "A params" tabs and the
// nine transform values on "Transform". OK stores the copies through Model::replaceObjects.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/notice.h"
#include "model/model.h"

namespace lv::dialogs {

enum PropertiesTab : int { XAssignTab = 0, AParamsTab = 1, TransformTab = 2 };
inline constexpr const char* kTabTitles[3] = {"X assign", "A params", "Transform"};

// One row of the parameter list: "Attribute:" and "Value:" columns.
struct PropertyRow {
    std::string attribute;
    std::string value;
};

// The binding controls for the selected row of a binding tab.
struct BindingControls {
    int checkedKind = 0;           // the kind whose choice is checked; 0: none
    bool axisEnabled = false;      // "&Space direction:" with "&X axis", "&Y axis", "&Z axis"
    bool constantChoiceEnabled = false;
    bool timeEnabled = false;      // "&Time variable:" with "T&1", "T&2", "T&3"
    bool constantFieldEnabled = false;
    std::string constantText;      // the constant field's text
};

class ObjectPropertiesRules {
public:
    // Copies every object of model. The selected copy is the one named preselect, else the copy
    // of the current object, else the first in the sorted object list. Shows tab.
    ObjectPropertiesRules(const model::Model& model, int tab, const std::string& preselect = {});

    // The object drop-down: names sorted ignoring case, and the selected one.
    const std::vector<std::string>& objectNames() const { return names_; }
    int selectedObject() const { return selectedName_; }
    void selectObject(int index);
    model::ModelObject* selectedCopy() const { return selected_; }
    const std::vector<std::unique_ptr<model::ModelObject>>& copies() const { return copies_; }

    int tab() const { return tab_; }
    // Shows tab: fills its list and selects its first row.
    void showTab(int tab);
    // Binding controls on the binding tabs, the "Value:" field on "Transform".
    bool bindingControlsVisible() const { return tab_ != TransformTab; }

    const std::vector<PropertyRow>& rows() const { return rows_; }
    int selectedRow() const { return row_; }
    void selectRow(int row);

    BindingControls controls() const;
    bool valueFieldEnabled() const { return tab_ == TransformTab && row_ >= 0; }
    // The "Value:" field's text: the selected transform row's value column.
    std::string valueFieldText() const;

    // "&X axis", "&Y axis", "&Z axis" (x list only) and "&Constant value:", "T&1", "T&2", "T&3"
    // for the selected row; the list is filled again with the same row selected.
    void chooseKind(int kind);
    // Text typed into the constant field: stored as the row's constant, the row shows "%.3f".
    // A value that is not a storable float is refused with the notice and not stored.
    std::optional<Notice> typeConstant(const std::string& text);
    // Text typed into the "Value:" field: stored into the row's transform entry; the row shows
    // the text as typed until the list is filled again. Non-storable values are refused.
    std::optional<Notice> typeTransformValue(const std::string& text);
    // The refusal OK gives while the last text typed into a field was refused and is still
    // there; nullopt when OK may store the copies.
    std::optional<Notice> okRefusal() const;

private:
    void fillRows();
    model::ParameterList* bindingList() const;
    float& transformEntry(int row) const;

    std::vector<std::unique_ptr<model::ModelObject>> copies_; // in model order
    std::vector<std::string> names_;
    int selectedName_ = -1;
    model::ModelObject* selected_ = nullptr;
    int tab_ = XAssignTab;
    std::vector<PropertyRow> rows_;
    int row_ = -1;
    bool refusedText_ = false;
};

// The value column of a binding: "X axis", "Y axis", "Z axis", "T1 time", "T2 time", "T3 time",
// or the constant with "%.3f".
std::string bindingValueText(const model::ParameterBinding& binding);

} // namespace lv::dialogs
