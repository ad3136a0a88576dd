#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

std::span<const RowEvaluate> blobRows() { return {}; }

} // namespace lv::prim
