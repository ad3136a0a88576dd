#include "dialogs/settings_camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/number_text.h"
#include "render/scene.h"
#include "render/scene_math.h"

namespace lv::dialogs {

namespace {

using render::Vec3;

// Keeps "View All" a little inside the limits, so that the rounded texts still pass the check.
constexpr double kViewAllMargin = 0.001;

Vec3 vecAt(const std::array<double, 9>& v, int first) {
    const auto i = static_cast<std::size_t>(first);
    return {v[i], v[i + 1], v[i + 2]};
}

// The cosine of the angle between direction and sky; NaN when either is zero.
double skyCosine(Vec3 direction, Vec3 sky) {
    return geom::dot(direction, sky) / geom::length(direction) / geom::length(sky);
}

bool collinear(Vec3 direction, Vec3 sky, double tolerance) {
    return !(std::fabs(std::fabs(skyCosine(direction, sky)) - 1.0) >= tolerance);
}

// The box of all objects in model space, each object's box placed by its transform.
void objectsBounds(const model::Model& model, Vec3& low, Vec3& high) {
    const double inf = std::numeric_limits<double>::infinity();
    low = {inf, inf, inf};
    high = {-inf, -inf, -inf};
    auto include = [&](Vec3 p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    };
    for (int i = 0; i < model.count(); ++i) {
        const model::ModelObject& object = model.object(i);
        const model::BoundingBox& b = model::effectiveBox(object, model.settings);
        const render::Mat4 m = render::objectTransform(object.transform, model::Vec3{});
        for (int corner = 0; corner < 8; ++corner)
            include(render::transformPoint(m, {(corner & 1) ? b.xmax : b.xmin,
                                               (corner & 2) ? b.ymax : b.ymin,
                                               (corner & 4) ? b.zmax : b.zmin}));
    }
    if (model.count() == 0) {
        const model::BoundingBox& b = model.settings.defaultBox;
        include({b.xmin, b.ymin, b.zmin});
        include({b.xmax, b.ymax, b.zmax});
    }
}

// The half angle of the view across the smaller side of a width x height picture.
double smallerHalfAngle(const model::ImageSize& size) {
    const double w = std::max(size.width, 1), h = std::max(size.height, 1);
    return std::atan(render::kHalfField * std::min(w, h) / std::max(w, h));
}

} // namespace

std::string cameraDistanceMessage() {
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "Distance between Look At Point and Camera Position must be in range: %.3f .. "
                  "%.3f",
                  kMinCameraDistance, kMaxCameraDistance);
    return buf;
}

std::array<std::string, 9> cameraTexts(const model::ModelSettings& s) {
    std::array<std::string, 9> texts;
    const std::array<float, 9> v{s.cameraPosition.x, s.cameraPosition.y, s.cameraPosition.z,
                                 s.lookAt.x,         s.lookAt.y,         s.lookAt.z,
                                 s.sky.x,            s.sky.y,            s.sky.z};
    for (std::size_t i = 0; i < 9; ++i) texts[i] = app::formatFieldReal(v[i]);
    return texts;
}

std::optional<Notice> storeCamera(const std::array<std::string, 9>& texts,
                                  model::ModelSettings& settings) {
    std::array<double, 9> v{};
    for (std::size_t i = 0; i < 9; ++i) {
        v[i] = app::parseLooseReal(texts[i]);
        if (!app::isStorableFloat(v[i]))
            return Notice{kNotFiniteMessage, NoticeIcon::Error, static_cast<int>(i)};
    }
    const Vec3 d = vecAt(v, 0) - vecAt(v, 3);
    const double distance = geom::length(d);
    if (!(distance >= kMinCameraDistance && distance <= kMaxCameraDistance))
        return Notice{cameraDistanceMessage(), NoticeIcon::Error, kPositionXField};
    if (collinear(d, vecAt(v, 6), 0.01))
        return Notice{kCollinearSkyMessage, NoticeIcon::Error, kSkyXField};
    auto f = [&](std::size_t i) { return static_cast<float>(v[i]); };
    settings.cameraPosition = {f(0), f(1), f(2)};
    settings.lookAt = {f(3), f(4), f(5)};
    settings.sky = {f(6), f(7), f(8)};
    return std::nullopt;
}

std::array<std::string, 9> viewAllTexts(const model::Model& model,
                                        const std::array<std::string, 9>& texts) {
    std::array<double, 9> v{};
    for (std::size_t i = 0; i < 9; ++i) {
        v[i] = app::parseLooseReal(texts[i]);
        if (!app::isStorableFloat(v[i])) v[i] = 0.0;
    }
    Vec3 low, high;
    objectsBounds(model, low, high);
    Vec3 centre = (low + high) * 0.5;
    double radius = 0.5 * geom::length(high - low);
    if (!app::isStorableFloat(centre.x) || !app::isStorableFloat(centre.y) ||
        !app::isStorableFloat(centre.z)) {
        centre = {};
        radius = kMaxCameraDistance;
    }
    double distance = radius / std::sin(smallerHalfAngle(model.settings.polyImage));
    if (!std::isfinite(distance)) distance = kMaxCameraDistance;
    distance = std::clamp(distance, kMinCameraDistance * (1.0 + kViewAllMargin),
                          kMaxCameraDistance * (1.0 - kViewAllMargin));

    const Vec3 sky = vecAt(v, 6);
    Vec3 direction = vecAt(v, 0) - vecAt(v, 3);
    for (Vec3 candidate : {Vec3{1, 1, 1}, Vec3{1, 0, 0}, Vec3{0, 0, 1}}) {
        if (!collinear(direction, sky, 0.05) || geom::length(sky) == 0.0) break;
        direction = candidate;
    }
    if (geom::length(direction) == 0.0 || !std::isfinite(geom::length(direction)))
        direction = {1, 1, 1};
    const Vec3 position = centre + geom::normalized(direction) * distance;

    std::array<std::string, 9> out = texts;
    const std::array<double, 6> placed{position.x, position.y, position.z,
                                       centre.x,   centre.y,   centre.z};
    for (std::size_t i = 0; i < 6; ++i)
        out[i] = app::formatFieldReal(static_cast<float>(placed[i]));
    return out;
}

} // namespace lv::dialogs
