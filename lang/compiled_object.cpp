#include "lang/compiled_object.h"

namespace lv::lang {

int CompiledObject::lineAt(int codeIndex) const {
    std::size_t i = static_cast<std::size_t>(codeIndex) * 2;
    return codeIndex >= 0 && i + 1 < positions.size() ? positions[i] : 0;
}

int CompiledObject::columnAt(int codeIndex) const {
    std::size_t i = static_cast<std::size_t>(codeIndex) * 2;
    return codeIndex >= 0 && i + 1 < positions.size() ? positions[i + 1] : 0;
}

std::unique_ptr<CompiledObject> copyObject(const CompiledObject& object) {
    return std::make_unique<CompiledObject>(object);
}

} // namespace lv::lang
