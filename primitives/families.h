#pragma once
// Each family of primitives lists the rows it evaluates; the catalogue merges the lists and
// adds each row's check from the built-in table.
#include <span>

#include "lang/builtins.h"
#include "primitives/catalogue.h"

namespace lv::prim {

struct RowEvaluate {
    lang::Builtin row;
    EvaluateFn evaluate;
    EvaluateBatchFn evaluateBatch = nullptr;
};

std::span<const RowEvaluate> basicSolidRows();  // basic_solids.cpp
std::span<const RowEvaluate> operationRows();   // operations.cpp
std::span<const RowEvaluate> convolutionRows(); // convolution.cpp
std::span<const RowEvaluate> blobRows();        // blobs.cpp
std::span<const RowEvaluate> splineRows();      // splines.cpp

// The five lists above, in that order.
std::span<const std::span<const RowEvaluate>> primitiveFamilies();

} // namespace lv::prim
