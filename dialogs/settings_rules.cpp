#include "dialogs/settings_rules.h"

#include <cstdio>

#include "app/app_messages.h"
#include "app/number_text.h"
#include "lang/settings.h"

namespace lv::dialogs {

namespace {

Notice stop(std::string message, int field) {
    return Notice{std::move(message), NoticeIcon::Error, field};
}

// "<what> must be in range <low> .. <high>."
std::string rangeMessage(const char* what, int low, int high) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s must be in range %d .. %d.", what, low, high);
    return buf;
}

// A value read for a float setting as the float it will become; value must be storable.
float asFloat(double value) { return static_cast<float>(value); }

// value as an edit field shows it after it has been stored as a float.
std::string fieldText(double value) {
    return app::formatFieldReal(app::isStorableFloat(value) ? asFloat(value) : value);
}

bool inImageRange(long long value, int low, int high) { return value >= low && value <= high; }

} // namespace

std::optional<Notice> readLooseFloat(const std::string& text, int field, float& out) {
    const double v = app::parseLooseReal(text);
    if (!app::isStorableFloat(v)) return stop(kNotFiniteMessage, field);
    out = asFloat(v);
    return std::nullopt;
}

std::optional<Notice> readStrictFloat(const std::string& text, int field, float& out) {
    const std::optional<double> v = app::parseStrictReal(text);
    if (!v) return Notice{kNotANumberMessage, NoticeIcon::Warning, field};
    if (!app::isStorableFloat(*v)) return stop(kNotFiniteMessage, field);
    out = asFloat(*v);
    return std::nullopt;
}

std::array<std::string, 6> modelSpaceTexts(const model::BoundingBox& box) {
    return {app::formatFieldReal(box.xmin), app::formatFieldReal(box.xmax),
            app::formatFieldReal(box.ymin), app::formatFieldReal(box.ymax),
            app::formatFieldReal(box.zmin), app::formatFieldReal(box.zmax)};
}

std::optional<Notice> storeModelSpace(const std::array<std::string, 6>& texts,
                                      model::BoundingBox& box) {
    std::array<float, 6> v{};
    for (int i = 0; i < 6; ++i)
        if (auto refusal = readLooseFloat(texts[static_cast<std::size_t>(i)], i,
                                          v[static_cast<std::size_t>(i)]))
            return refusal;
    box.xmin = v[0];
    box.xmax = v[1];
    box.ymin = v[2];
    box.ymax = v[3];
    box.zmin = v[4];
    box.zmax = v[5];
    return std::nullopt;
}

std::optional<Notice> timeVariablesGuard(const model::TimeUsage& usage) {
    if (usage.t1 || usage.t2 || usage.t3) return std::nullopt;
    return Notice{kNoTimeVariablesMessage, NoticeIcon::Information, -1};
}

std::array<std::string, 3> timeVariableTexts(const std::array<float, 3>& values) {
    return {app::formatFieldReal(values[0]), app::formatFieldReal(values[1]),
            app::formatFieldReal(values[2])};
}

std::array<bool, 3> timeVariableEnabled(const model::TimeUsage& usage) {
    return {usage.t1, usage.t2, usage.t3};
}

std::optional<Notice> storeTimeVariables(const std::array<std::string, 3>& texts,
                                         std::array<float, 3>& values) {
    std::array<float, 3> v{};
    for (int i = 0; i < 3; ++i)
        if (auto refusal = readStrictFloat(texts[static_cast<std::size_t>(i)], i,
                                           v[static_cast<std::size_t>(i)]))
            return refusal;
    values = v;
    return std::nullopt;
}

std::string imageSizeCaption(SettingsTarget branch) {
    return branch == SettingsTarget::Raytracing ? "Raytraced image size" : "Polygonized image size";
}

model::ImageSize imageSizeOf(const model::ModelSettings& settings, SettingsTarget branch) {
    return branch == SettingsTarget::Raytracing ? settings.rayImage : settings.polyImage;
}

std::optional<Notice> storeImageSize(const std::string& horizontal, const std::string& vertical,
                                     SettingsTarget choice, model::ModelSettings& settings) {
    const long long width = app::parseLooseInt(horizontal);
    if (!inImageRange(width, kMinImageWidth, kMaxImageWidth))
        return stop(rangeMessage("Horizontal", kMinImageWidth, kMaxImageWidth), 0);
    const long long height = app::parseLooseInt(vertical);
    if (!inImageRange(height, kMinImageHeight, kMaxImageHeight))
        return stop(rangeMessage("Vertical", kMinImageHeight, kMaxImageHeight), 1);
    const model::ImageSize size{static_cast<int>(width), static_cast<int>(height)};
    if (choice != SettingsTarget::Raytracing) settings.polyImage = size;
    if (choice != SettingsTarget::Polygonization) settings.rayImage = size;
    return std::nullopt;
}

model::Rgb backgroundOf(const model::ModelSettings& settings, SettingsTarget branch) {
    return branch == SettingsTarget::Raytracing ? settings.rayBackground : settings.polyBackground;
}

void storeBackground(const model::Rgb& colour, SettingsTarget choice,
                     model::ModelSettings& settings) {
    if (choice != SettingsTarget::Raytracing) settings.polyBackground = colour;
    if (choice != SettingsTarget::Polygonization) settings.rayBackground = colour;
}

QualityChoice qualityOf(const model::ModelSettings& settings) {
    QualityChoice c;
    c.surfaceKind = (settings.surfaceKind == model::SurfaceWireframe ||
                     settings.surfaceKind == model::SurfaceSolid)
                        ? settings.surfaceKind
                        : model::SurfacePoints;
    c.flat = settings.flatShading != 0;
    c.lighting = settings.lightingOn != 0;
    c.dithering = settings.ditheringOn != 0;
    c.antialiasing = settings.antialiasingOn != 0;
    return c;
}

void storeQuality(const QualityChoice& choice, model::ModelSettings& settings) {
    settings.surfaceKind = choice.surfaceKind;
    settings.flatShading = choice.flat ? 1 : 0;
    settings.lightingOn = choice.lighting ? 1 : 0;
    settings.ditheringOn = choice.dithering ? 1 : 0;
    settings.antialiasingOn = choice.antialiasing ? 1 : 0;
}

std::array<std::string, 2> epsAlphaTexts(float eps, float alpha) {
    return {app::formatFieldReal(eps), app::formatFieldReal(alpha)};
}

std::string epsAlphaQuestion(const std::string& epsText, const std::string& alphaText) {
    return "Are the values below correct:\nEPS = " + fieldText(app::parseLooseReal(epsText)) +
           ";\nALPHA = " + fieldText(app::parseLooseReal(alphaText)) + "?";
}

std::optional<Notice> storeEpsAlpha(const std::string& epsText, const std::string& alphaText) {
    const double eps = app::parseLooseReal(epsText);
    const double alpha = app::parseLooseReal(alphaText);
    // Checked on the floats that will be stored: an EPS that rounds to 0 is refused too.
    if (!app::isStorableFloat(eps) || !(asFloat(eps) > 0.0f && asFloat(eps) < 1.0f))
        return stop(app::appMessage(app::AppMessage::EpsRange), 0);
    if (!app::isStorableFloat(alpha) || !(asFloat(alpha) >= -1.0f && asFloat(alpha) <= 1.0f))
        return stop(app::appMessage(app::AppMessage::AlphaRange), 1);
    lang::setEps(asFloat(eps));
    lang::setAlpha(asFloat(alpha));
    return std::nullopt;
}

} // namespace lv::dialogs
