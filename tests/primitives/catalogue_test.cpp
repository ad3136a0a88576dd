// The catalogue built from the families' row lists: every primitive row of the built-in table
// is evaluated by exactly one family, with the check its table row names, and no mathematical
// row or row outside the table has operations.
#include <gtest/gtest.h>

#include <vector>

#include "lang/builtins.h"
#include "primitives/catalogue.h"
#include "primitives/families.h"

namespace lv::prim::test {
namespace {

TEST(Catalogue, EveryPrimitiveRowHasOneEvaluationAndItsTableCheck) {
    std::vector<int> listed(lang::kBuiltinCount, 0);
    for (std::span<const RowEvaluate> family : primitiveFamilies())
        for (const RowEvaluate& r : family) {
            const int row = lang::rowOf(r.row);
            ASSERT_GE(row, lang::kMathBuiltinCount);
            ASSERT_LT(row, lang::kBuiltinCount);
            ++listed[row];
            EXPECT_NE(r.evaluate, nullptr) << lang::kBuiltins[row].name;
        }
    for (int row = lang::kMathBuiltinCount; row < lang::kBuiltinCount; ++row) {
        SCOPED_TRACE(lang::kBuiltins[row].name);
        EXPECT_EQ(listed[row], 1) << "families listing the row";
        const PrimitiveOps& ops = primitiveOps(row);
        EXPECT_NE(ops.evaluate, nullptr);
        EXPECT_EQ(ops.check != nullptr, lang::kBuiltins[row].check != lang::CheckKind::None);
    }
    for (int row : {-1, 0, lang::rowOf(lang::Builtin::Atan2), lang::kBuiltinCount}) {
        const PrimitiveOps& ops = primitiveOps(row);
        EXPECT_EQ(ops.evaluate, nullptr) << row;
        EXPECT_EQ(ops.check, nullptr) << row;
        EXPECT_EQ(ops.evaluateBatch, nullptr) << row;
    }
}

} // namespace
} // namespace lv::prim::test
