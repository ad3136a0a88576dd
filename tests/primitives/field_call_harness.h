#pragma once
// Calls a field primitive the way the interpreter does: arrays live in a frame and are passed as
// the code index of their array-argument word, arguments arrive in reverse order, the row's
// check runs first, and a failure reported during evaluation stops the call. The call word has
// a known source position so that error positions can be checked.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/builtins.h"
#include "lang/runtime.h"
#include "primitives/catalogue.h"

namespace lv::prim::test {

class FieldCall {
public:
    static constexpr int kCallLine = 7;
    static constexpr int kCallColumn = 12;

    FieldCall() {
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

} // namespace lv::prim::test
