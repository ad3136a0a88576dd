#pragma once
// Text form of a compiled object, for `lumovar check --dump` and for tests.
#include <string>

#include "lang/compiled_object.h"

namespace lv::lang {

// Five lines, each starting with two blanks: "slots S nested N", "code W ...",
// "constants C ..." (%.9g), "strings "..." ...", "callees NAME ...". Labels always appear.
std::string dumpObject(const CompiledObject& object);

} // namespace lv::lang
