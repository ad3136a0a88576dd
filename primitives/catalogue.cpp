#include "primitives/catalogue.h"

#include <array>

#include "lang/builtins.h"
#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

namespace {

CheckFn checkFor(lang::CheckKind kind) {
    switch (kind) {
    case lang::CheckKind::None: return nullptr;
    case lang::CheckKind::Accept: return check_accept;
    case lang::CheckKind::Scales: return check_scales;
    case lang::CheckKind::TaperScales: return check_taper_scales;
    case lang::CheckKind::Blend: return check_blend;
    case lang::CheckKind::ParameterArray: return check_parameter_array;
    }
    return nullptr;
}

using Table = std::array<PrimitiveOps, lang::kBuiltinCount>;

Table buildTable() {
    Table table{};
    for (int row = lang::kMathBuiltinCount; row < lang::kBuiltinCount; ++row)
        table[row].check = checkFor(lang::kBuiltins[row].check);
    for (std::span<const RowEvaluate> family : primitiveFamilies())
        for (const RowEvaluate& r : family) {
            table[lang::rowOf(r.row)].evaluate = r.evaluate;
            table[lang::rowOf(r.row)].evaluateBatch = r.evaluateBatch;
        }
    return table;
}

} // namespace

std::span<const std::span<const RowEvaluate>> primitiveFamilies() {
    static const std::span<const RowEvaluate> families[] = {
        basicSolidRows(), operationRows(), convolutionRows(), blobRows(), splineRows()};
    return families;
}

const PrimitiveOps& primitiveOps(int row) {
    static const Table table = buildTable();
    static const PrimitiveOps none{};
    return row >= lang::kMathBuiltinCount && row < lang::kBuiltinCount ? table[row] : none;
}

} // namespace lv::prim
