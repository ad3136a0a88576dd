#pragma once
// Calls one primitive row the way the interpreter does: arrays live in a frame and are passed
// as the code index of their array-argument word, arguments arrive in reverse order, the row's
// check runs before its evaluation.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/builtins.h"
#include "lang/compiler.h"
#include "lang/interpreter.h"
#include "lang/runtime.h"
#include "lang/settings.h"
#include "primitives/catalogue.h"

namespace lv::prim::test {

class RowCall {
public:
    RowCall() {
        object_.slotCount = kFrameSize;
        object_.code = {0, 0};
        frame_.assign(kFrameSize, 0.0f);
        flags_.assign(kFrameSize, 0);
    }

    // Places values in the frame and returns the handle a call passes for them.
    float array(const std::vector<float>& values) {
        const int offset = used_;
        for (float v : values)
            frame_.at(static_cast<std::size_t>(used_++)) = v;
        object_.code.insert(object_.code.end(),
                            {static_cast<int>(values.size()), offset, lang::kWordArray});
        return static_cast<float>(object_.code.size() - 1);
    }

    // The current elements of the array behind handle.
    std::vector<float> values(float handle) const {
        const int at = static_cast<int>(handle);
        const int size = object_.code.at(static_cast<std::size_t>(at - 2));
        const int offset = object_.code.at(static_cast<std::size_t>(at - 1));
        return {frame_.begin() + offset, frame_.begin() + offset + size};
    }

    // Runs built-in name with arguments in call order; failed() tells whether a check stopped it.
    float call(const std::string& name, const std::vector<float>& callOrder) {
        const int row = lang::findBuiltin(toLower(name));
        EXPECT_GE(row, lang::kMathBuiltinCount) << name;
        if (row < lang::kMathBuiltinCount)
            return 0.0f;
        EXPECT_EQ(lang::kBuiltins[row].argumentCount, static_cast<int>(callOrder.size()));
        std::vector<float> args(callOrder.rbegin(), callOrder.rend());
        lang::EvalState state{&object_, frame_.data(), flags_.data()};
        error_ = lang::RuntimeError{};
        lang::CallContext context{state, error_, 1};
        const PrimitiveOps& ops = primitiveOps(row);
        failed_ = ops.check != nullptr && !ops.check(args.data(), context);
        EXPECT_EQ(failed_, context.failed);
        if (failed_)
            return 0.0f;
        EXPECT_NE(ops.evaluate, nullptr) << name;
        return ops.evaluate == nullptr ? 0.0f : ops.evaluate(args.data(), context);
    }

    bool failed() const { return failed_; }
    std::string message() const { return error_.message; }

private:
    static constexpr int kFrameSize = 512;

    static std::string toLower(std::string s) {
        for (char& c : s)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    }

    lang::CompiledObject object_;
    std::vector<float> frame_;
    std::vector<int> flags_;
    lang::RuntimeError error_;
    bool failed_ = false;
    int used_ = 0;
};

// A compiled Lumovar program whose objects are evaluated at given x and a.
class Program {
public:
    explicit Program(const std::string& text) {
        lang::compileProgram(text.c_str(), objects_, errors_, {});
    }

    bool compiled() const { return errors_.empty() && !objects_.empty(); }
    std::string firstError() const { return errors_.empty() ? "" : errors_.front().message; }
    const lang::ObjectList& objects() const { return objects_; }

    // Evaluates object name; returns false (with error()) when the evaluation stopped.
    bool eval(const std::string& name, const std::vector<float>& x, const std::vector<float>& a,
              float& result) {
        lang::CompiledObjectPtr object = lang::findObject(objects_, name);
        EXPECT_NE(object, nullptr) << name;
        if (object == nullptr)
            return false;
        EXPECT_EQ(object->xSize, static_cast<int>(x.size()));
        EXPECT_EQ(object->aSize, static_cast<int>(a.size()));
        lang::Workspace space(*object);
        std::copy(x.begin(), x.end(), space.values.begin());
        std::copy(a.begin(), a.end(), space.values.begin() + object->xSize);
        error_ = lang::RuntimeError{};
        return lang::executeObject(*object, space.values.data(), space.flags.data(), result,
                                   error_) == 1;
    }

    const lang::RuntimeError& error() const { return error_; }

private:
    lang::ObjectList objects_;
    std::vector<lang::CompileError> errors_;
    lang::RuntimeError error_;
};

// Sets EPS or ALPHA for one test and restores the defaults afterwards.
struct SettingsGuard {
    ~SettingsGuard() {
        lang::setEps(lang::kDefaultEps);
        lang::setAlpha(lang::kDefaultAlpha);
    }
};

} // namespace lv::prim::test
