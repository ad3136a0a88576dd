#pragma once
// Each family of primitives lists the rows it evaluates; the catalogue merges the lists and
// adds each row's check from the built-in table.
#include <span>

#include "primitives/catalogue.h"

namespace lv::prim {

struct RowEvaluate {
    int row;
    EvaluateFn evaluate;
    EvaluateBatchFn evaluateBatch = nullptr;
};

std::span<const RowEvaluate> basicSolidRows();  // basic_solids.cpp
std::span<const RowEvaluate> operationRows();   // operations.cpp
std::span<const RowEvaluate> convolutionRows(); // convolution.cpp
std::span<const RowEvaluate> blobRows();        // blobs.cpp
std::span<const RowEvaluate> splineRows();      // splines.cpp

} // namespace lv::prim
