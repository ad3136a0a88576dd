#pragma once
// Calls a primitive row the way the interpreter does: arrays live in a frame and are passed as
// the code index of their array-argument word, arguments arrive in reverse order, the row's
// check runs first, and a failure reported during check or evaluation stops the call. The call
// word has a known source position so that error positions can be checked. Also: programs
// compiled from text and evaluated through the interpreter, and a guard for EPS and ALPHA.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "eval/interpreter.h"
#include "lang/builtins.h"
#include "lang/compiler.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "lang/source_text.h"
#include "primitives/catalogue.h"

namespace lv::prim::test {

class PrimitiveCall {
public:
    static constexpr int kCallLine = 7;
    static constexpr int kCallColumn = 12;

    PrimitiveCall() {
        object_.code = {0, 0}; // word 1 stands for the call
        object_.positions = {0, 0, kCallLine, kCallColumn};
    }

    // Places values in the frame and returns the handle a call passes for them.
    float array(const std::vector<float>& values) {
        const int offset = static_cast<int>(frame_.size());
        frame_.insert(frame_.end(), values.begin(), values.end());
        flags_.resize(frame_.size(), 0);
        object_.slotCount = static_cast<int>(frame_.size());
        object_.code.insert(object_.code.end(),
                            {static_cast<int>(values.size()), offset, lang::kWordArray});
        object_.positions.resize(object_.code.size() * 2, 0);
        return static_cast<float>(object_.code.size() - 1);
    }

    // The current elements of the array behind handle.
    std::vector<float> values(float handle) const {
        const int at = static_cast<int>(handle);
        const int size = object_.code.at(static_cast<std::size_t>(at - 2));
        const int offset = object_.code.at(static_cast<std::size_t>(at - 1));
        return {frame_.begin() + offset, frame_.begin() + offset + size};
    }

    // A handle that resolves to no array.
    static float noArray() { return 0.0f; }

    // Runs the built-in named name with arguments in call order.
    float call(const std::string& name, const std::vector<float>& callOrder) {
        const int row = lang::findBuiltin(lower(name));
        EXPECT_GE(row, lang::kMathBuiltinCount) << name;
        if (row < lang::kMathBuiltinCount) return NAN;
        EXPECT_EQ(lang::kBuiltins[row].argumentCount, static_cast<int>(callOrder.size()));
        const std::vector<float> args(callOrder.rbegin(), callOrder.rend());
        lang::EvalState state{&object_, frame_.data(), flags_.data()};
        error_ = lang::RuntimeError{};
        lang::CallContext context{state, error_, 1};
        const PrimitiveOps& ops = primitiveOps(row);
        float value = NAN;
        if (ops.check == nullptr || ops.check(args.data(), context)) {
            EXPECT_NE(ops.evaluate, nullptr) << name;
            if (ops.evaluate != nullptr) value = ops.evaluate(args.data(), context);
        }
        failed_ = context.failed;
        return value;
    }

    bool failed() const { return failed_; }
    const lang::RuntimeError& error() const { return error_; }
    std::string message() const { return error_.message; }

private:
    static std::string lower(std::string s) {
        for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    }

    lang::CompiledObject object_;
    std::vector<float> frame_;
    std::vector<int> flags_;
    lang::RuntimeError error_;
    bool failed_ = false;
};

// A Lumovar program compiled from text or from a file, with its objects evaluated through the
// interpreter.
class CompiledSource {
public:
    static CompiledSource fromFile(const std::string& path) {
        const lang::SourceText source = lang::readSourceFile(path);
        EXPECT_TRUE(source.ok) << path << ": " << source.error;
        return CompiledSource(source.text);
    }

    explicit CompiledSource(const std::string& text) {
        lang::compileProgram(text.c_str(), objects_, errors_, {});
        EXPECT_TRUE(errors_.empty()) << errors_.front().line << ":" << errors_.front().column
                                     << ": " << errors_.front().message;
    }

    bool compiled() const { return errors_.empty() && !objects_.empty(); }
    std::string firstError() const { return errors_.empty() ? "" : errors_.front().message; }

    // As eval, reporting whether the evaluation finished (result is set only then).
    bool eval(const std::string& name, const std::vector<float>& x, const std::vector<float>& a,
              float& result) {
        const float value = eval(name, x, a);
        if (error_.message[0] != '\0') return false;
        result = value;
        return true;
    }

    // Value of object name at x with parameters a; NaN (and error()) when evaluation stopped.
    float eval(const std::string& name, const std::vector<float>& x,
               const std::vector<float>& a = {}) {
        error_ = lang::RuntimeError{};
        const lang::CompiledObjectPtr object = lang::findObject(objects_, name);
        EXPECT_NE(object, nullptr) << name;
        if (object == nullptr) return NAN;
        EXPECT_EQ(object->xSize, static_cast<int>(x.size())) << name;
        EXPECT_EQ(object->aSize, static_cast<int>(a.size())) << name;
        eval::Workspace space(*object);
        std::copy(x.begin(), x.end(), space.values.begin());
        std::copy(a.begin(), a.end(), space.values.begin() + object->xSize);
        float result = NAN;
        return eval::executeObject(*object, space.values.data(), space.flags.data(), result,
                                   error_) == 1
                   ? result
                   : NAN;
    }

    const lang::RuntimeError& error() const { return error_; }
    const lang::ObjectList& objects() const { return objects_; }

private:
    lang::ObjectList objects_;
    std::vector<lang::CompileError> errors_;
    lang::RuntimeError error_;
};

// An example program: starts with a comment, compiles, and every object (with each parameter
// 0.5) evaluates without error to finite values on a grid over -4 .. 4, some inside, some not.
inline void expectExampleDescribesSolids(const std::string& file) {
    const std::string path = std::string(LV_SOURCE_DIR) + "/examples/" + file;
    const lang::SourceText source = lang::readSourceFile(path);
    ASSERT_TRUE(source.ok) << path;
    EXPECT_EQ(source.text.rfind("--", 0), 0u) << path << " has no comment header";
    CompiledSource program(source.text);
    ASSERT_FALSE(program.objects().empty()) << path;
    for (const lang::CompiledObjectPtr& object : program.objects()) {
        const std::vector<float> a(static_cast<std::size_t>(object->aSize), 0.5f);
        int inside = 0, outside = 0;
        for (float px = -4; px <= 4; px += 0.5f)
            for (float py = -4; py <= 4; py += 0.5f)
                for (float pz = -4; pz <= 4; pz += 0.5f) {
                    const float f = program.eval(object->name, {px, py, pz}, a);
                    ASSERT_TRUE(std::isfinite(f))
                        << object->name << " at " << px << " " << py << " " << pz << ": "
                        << program.error().message;
                    (f >= 0 ? inside : outside)++;
                }
        EXPECT_GT(inside, 0) << object->name;
        EXPECT_GT(outside, 0) << object->name;
    }
}

// Sets EPS or ALPHA for one test and restores the defaults afterwards.
struct SettingsGuard {
    ~SettingsGuard() {
        lang::setEps(lang::kDefaultEps);
        lang::setAlpha(lang::kDefaultAlpha);
    }
};

} // namespace lv::prim::test
