#include "primitives/conventions.h"
#include "primitives/families.h"

namespace lv::prim {

std::span<const RowEvaluate> basicSolidRows() { return {}; }

} // namespace lv::prim
