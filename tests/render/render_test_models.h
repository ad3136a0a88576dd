#pragma once
// Small models for the renderer's tests: objects compiled from in-memory program texts.
#include <gtest/gtest.h>

#include <string>

#include "lang/compiler.h"
#include "model/model.h"
#include "render/gl_context.h"

namespace lv::render::testing {

// A sphere of radius 5 at the origin; "grow" has radius a[1] (bound to T1 by addGrowing).
inline constexpr const char* kShapes = R"(ball(x[3], a[0]) {
    array c[3];
    c = [0, 0, 0];
    ball = lvsphere(x, c, 5);
}
grow(x[3], a[1]) {
    array c[3];
    c = [0, 0, 0];
    grow = lvsphere(x, c, a[1]);
}
)";

inline lang::CompiledObjectPtr compiledShape(const std::string& name) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(kShapes, objects, errors, {});
    EXPECT_TRUE(errors.empty());
    return lang::findObject(objects, name);
}

// Appends the radius-5 ball under name with grid n x n x n in the default box (-10..10).
inline model::ModelObject& addBall(model::Model& m, const std::string& name = "ball",
                                   int n = 16) {
    auto object = std::make_unique<model::ModelObject>(
        model::makeModelObject(name, compiledShape("ball"), "/src/shapes.lv"));
    object->grid = {n, n, n};
    return *m.appendObject(std::move(object));
}

// Appends a sphere whose radius is T1.
inline model::ModelObject& addGrowing(model::Model& m, int n = 8) {
    auto object = std::make_unique<model::ModelObject>(
        model::makeModelObject("grow", compiledShape("grow"), "/src/shapes.lv"));
    object->aBindings.bindings[0].kind = model::T1;
    object->grid = {n, n, n};
    return *m.appendObject(std::move(object));
}

#define LV_REQUIRE_GL()                                                                        \
    do {                                                                                       \
        std::string glError;                                                                   \
        if (!::lv::render::headlessGlAvailable(glError)) GTEST_SKIP() << glError;              \
    } while (0)

} // namespace lv::render::testing
