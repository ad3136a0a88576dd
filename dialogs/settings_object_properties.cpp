#include "dialogs/settings_object_properties.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "app/number_text.h"

namespace lv::dialogs {

namespace {

constexpr double kMinMaxGradient = 0.1;
constexpr double kMinAccuracy = 1e-6;
constexpr double kMaxAccuracy = 0.1;

Notice stop(const char* message, int field) {
    return Notice{message, NoticeIcon::Error, field};
}

bool nameBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](unsigned char x, unsigned char y) {
                                            return std::tolower(x) < std::tolower(y);
                                        });
}

// Box fields in edit order: Xmin, Ymin, Zmin, Xmax, Ymax, Zmax.
std::array<std::string, 6> boxTexts(const model::BoundingBox& b) {
    return {app::formatFieldReal(b.xmin), app::formatFieldReal(b.ymin),
            app::formatFieldReal(b.zmin), app::formatFieldReal(b.xmax),
            app::formatFieldReal(b.ymax), app::formatFieldReal(b.zmax)};
}

} // namespace

RenderingPropertiesSession::RenderingPropertiesSession(const model::Model& model, int page)
    : defaultBox_(model.settings.defaultBox),
      page_(std::clamp(page, 0, kPropertyPageCount - 1)) {
    int current = 0;
    for (int i = 0; i < model.count(); ++i) {
        copies_.push_back(model::copyModelObject(model.object(i)));
        if (&model.object(i) == model.currentObject()) current = i;
    }
    entryToCopy_.resize(copies_.size());
    std::iota(entryToCopy_.begin(), entryToCopy_.end(), 0);
    std::stable_sort(entryToCopy_.begin(), entryToCopy_.end(), [&](int a, int b) {
        return nameBefore(copies_[static_cast<std::size_t>(a)]->name,
                                copies_[static_cast<std::size_t>(b)]->name);
    });
    for (std::size_t e = 0; e < entryToCopy_.size(); ++e) {
        names_.push_back(copies_[static_cast<std::size_t>(entryToCopy_[e])]->name);
        if (entryToCopy_[e] == current) selected_ = static_cast<int>(e);
    }
}

void RenderingPropertiesSession::selectEntry(int entry) {
    if (entry >= 0 && entry < static_cast<int>(names_.size())) selected_ = entry;
}

void RenderingPropertiesSession::setPage(int page) {
    if (page >= 0 && page < kPropertyPageCount) page_ = page;
}

const model::ModelObject& RenderingPropertiesSession::selectedCopy() const {
    return *copies_[static_cast<std::size_t>(entryToCopy_[static_cast<std::size_t>(selected_)])];
}

PropertyFields RenderingPropertiesSession::load() const {
    PropertyFields f;
    if (copies_.empty()) return f;
    const model::ModelObject& o = selectedCopy();
    f.alsoOther = alsoOther_;
    switch (page_) {
    case BoxPage:
        f.custom = o.customBox != 0;
        f.box = boxTexts(f.custom ? o.ownBox : defaultBox_);
        break;
    case GridsPage:
        for (std::size_t i = 0; i < 3; ++i) f.grid[i] = std::to_string(o.grid[i]);
        break;
    case PolyColourPage: f.colour = o.polyColour; break;
    case MaxGradientPage:
        f.autoGradient = o.autoMaxGradient != 0;
        f.maxGradient = app::formatFieldReal(o.maxGradient);
        break;
    case AccuracyPage: f.accuracy = app::formatFieldReal(o.accuracy); break;
    case RayColourPage: f.colour = o.rayColour; break;
    default: break;
    }
    return f;
}

std::array<std::string, 6> RenderingPropertiesSession::defaultBoxTexts() const {
    return boxTexts(defaultBox_);
}

std::optional<Notice> RenderingPropertiesSession::applyBox(const PropertyFields& f,
                                                           model::ModelObject& o) {
    if (!f.custom) {
        o.customBox = 0;
        return std::nullopt;
    }
    std::array<float, 6> v{};
    for (std::size_t i = 0; i < 6; ++i)
        if (auto refusal = readLooseFloat(f.box[i], static_cast<int>(i), v[i])) return refusal;
    for (int axis = 0; axis < 3; ++axis)
        if (v[static_cast<std::size_t>(axis)] > v[static_cast<std::size_t>(axis + 3)])
            return stop(kBadBoxMessage, axis);
    o.customBox = 1;
    o.ownBox = {v[0], v[1], v[2], v[3], v[4], v[5]};
    return std::nullopt;
}

std::optional<Notice> RenderingPropertiesSession::applyGrids(const PropertyFields& f,
                                                             model::ModelObject& o) {
    std::array<int, 3> counts{};
    for (int i = 0; i < 3; ++i) {
        const long long n = app::parseLooseInt(f.grid[static_cast<std::size_t>(i)]);
        if (n < kMinGridCount) return stop(kGridTooSmallMessage, i);
        if (n > kMaxGridCount) return stop(kGridTooLargeMessage, i);
        counts[static_cast<std::size_t>(i)] = static_cast<int>(n);
    }
    o.grid = counts;
    return std::nullopt;
}

std::optional<Notice> RenderingPropertiesSession::apply(const PropertyFields& f) {
    if (copies_.empty()) return std::nullopt;
    model::ModelObject& o =
        *copies_[static_cast<std::size_t>(entryToCopy_[static_cast<std::size_t>(selected_)])];
    switch (page_) {
    case BoxPage: return applyBox(f, o);
    case GridsPage: return applyGrids(f, o);
    case PolyColourPage:
    case RayColourPage:
        (page_ == PolyColourPage ? o.polyColour : o.rayColour) = f.colour;
        if (f.alsoOther) (page_ == PolyColourPage ? o.rayColour : o.polyColour) = f.colour;
        alsoOther_ = f.alsoOther;
        return std::nullopt;
    case MaxGradientPage: {
        if (f.autoGradient) {
            o.autoMaxGradient = 1;
            return std::nullopt;
        }
        const double v = app::parseLooseReal(f.maxGradient);
        if (!app::isStorableFloat(v)) return stop(kNotFiniteMessage, 0);
        if (!(v >= kMinMaxGradient)) return stop(kMaxGradientMessage, 0);
        o.maxGradient = static_cast<float>(v);
        o.autoMaxGradient = 0;
        return std::nullopt;
    }
    case AccuracyPage: {
        const double v = app::parseLooseReal(f.accuracy);
        if (!(v >= kMinAccuracy && v <= kMaxAccuracy)) return stop(kAccuracyMessage, 0);
        o.accuracy = static_cast<float>(v);
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

void RenderingPropertiesSession::finish(model::Model& model) const {
    model.replaceObjects(copies_, copies_.empty() ? nullptr : &selectedCopy());
}

} // namespace lv::dialogs
