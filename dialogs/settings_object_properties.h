#pragma once
// The rendering properties of every model object as one editing session, without widgets: the
// session holds copies of all objects, loads one page of one copy into fields, stores the
// fields of that page into the copy on Apply, and on OK replaces the model's objects by the
// copies. Loading never stores: edits not applied are dropped.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/settings_rules.h"
#include "model/model.h"
#include "model/model_file.h"

namespace lv::dialogs {

// ORDER PAGE: the pages in the order of the property list and of the commands that open them.
enum PropertyPage : int {
    BoxPage = 0,
    GridsPage = 1,
    AxesPage = 2,
    PolyColourPage = 3,
    MaxGradientPage = 4,
    AccuracyPage = 5,
    RayColourPage = 6,
};
inline constexpr int kPropertyPageCount = 7;
// ORDER PAGE
inline constexpr std::array<const char*, kPropertyPageCount> kPropertyPageNames{
    "Bounding Box",         "Polygonization Grids",    "Polygonization Axes/Box",
    "Polygonization Color", "Raytracing Max Gradient", "Raytracing Accuracy",
    "Raytracing Color"};

inline constexpr int kMinGridCount = 2;
inline constexpr int kMaxGridCount = model::kMaxGridCount; // the most a model file may hold
static_assert(kMaxGridCount == 1000, "kGridTooLargeMessage names the limit");
inline constexpr const char* kBadBoxMessage = "Incorrect bounding box.\nPlease modify your inputs.";
inline constexpr const char* kGridTooSmallMessage = "Grid lines amount must be greater than 2.";
inline constexpr const char* kGridTooLargeMessage =
    "Grid lines amount must not be greater than 1000.";
inline constexpr const char* kMaxGradientMessage = "Max Gradient must be not less than 0.1";
inline constexpr const char* kAccuracyMessage = "Accuracy must be in range 1e-6 .. 1e-1";

// The controls of all pages. Refused fields: box 0..5 (Xmin, Ymin, Zmin, Xmax, Ymax, Zmax),
// grids 0..2 (X, Y, Z), max gradient 0, accuracy 0.
struct PropertyFields {
    bool custom = false;                // box: "Custom" selected; the edits are enabled
    std::array<std::string, 6> box;
    std::array<std::string, 3> grid;
    model::Rgb colour;                  // the swatch of the colour pages
    bool alsoOther = true;              // "Apply for ..., also"
    bool autoGradient = true;           // the max gradient edit is enabled when false
    std::string maxGradient;
    std::string accuracy;
};

class RenderingPropertiesSession {
public:
    // Copies every object of model in model order; selects the model's current object (the
    // first when there is none) and page. With no objects there is nothing to load or apply.
    RenderingPropertiesSession(const model::Model& model, int page);

    // The object names sorted case-insensitively; entry i of the object list.
    const std::vector<std::string>& names() const { return names_; }
    int selectedEntry() const { return selected_; }
    int page() const { return page_; }
    void selectEntry(int entry);
    void setPage(int page);
    // The copy of the selected entry; the session must hold at least one object.
    const model::ModelObject& selectedCopy() const;

    // The visible page of the selected copy.
    PropertyFields load() const;
    // The six box texts after "Custom" or "Default" was clicked: the model's default box.
    std::array<std::string, 6> defaultBoxTexts() const;
    // Validates the visible page of fields and stores it into the selected copy; a refusal
    // stores nothing. The colour pages also remember alsoOther for both colour pages.
    std::optional<Notice> apply(const PropertyFields& fields);
    // Replaces model's objects by copies of the session's, in order, and makes the copy of the
    // selected object current.
    void finish(model::Model& model) const;

    bool alsoOther() const { return alsoOther_; }
    // The edited copies in model order, for callers that store them themselves.
    const std::vector<std::unique_ptr<model::ModelObject>>& copies() const { return copies_; }

private:
    std::optional<Notice> applyBox(const PropertyFields& fields, model::ModelObject& object);
    std::optional<Notice> applyGrids(const PropertyFields& fields, model::ModelObject& object);

    std::vector<std::unique_ptr<model::ModelObject>> copies_; // model order
    std::vector<std::string> names_;
    std::vector<int> entryToCopy_;
    model::BoundingBox defaultBox_;
    int selected_ = 0;
    int page_ = 0;
    bool alsoOther_ = true;
};

} // namespace lv::dialogs
