#include "lang/disassembler.h"

#include <cstdio>

namespace lv::lang {

std::string dumpObject(const CompiledObject& object) {
    std::string out = "  slots " + std::to_string(object.slotCount) + " nested " +
                      std::to_string(object.nestedSlots) + "\n  code";
    for (int w : object.code) out += " " + std::to_string(w);
    out += "\n  constants";
    for (float c : object.constants) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %.9g", static_cast<double>(c));
        out += buf;
    }
    out += "\n  strings";
    for (const std::string& s : object.strings) out += " \"" + s + "\"";
    out += "\n  callees";
    for (const auto& c : object.callees) out += " " + c->name;
    out += "\n";
    return out;
}

} // namespace lv::lang
