#include "cli/object_flags.h"

#include <algorithm>
#include <cctype>

#include "cli/model_args.h"

namespace lv::cli {

namespace {

int applyA(const char* command, const std::string& text, model::ModelObject& object,
           bool allowTime) {
    std::vector<std::string> items = splitList(text);
    if (static_cast<int>(items.size()) != object.aBindings.count())
        return commandUsageError(command, "--a must give " +
                                              std::to_string(object.aBindings.count()) +
                                              " values, got " + std::to_string(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string upper = items[i];
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        model::ParameterBinding& b = object.aBindings.bindings[i];
        float value = 0.0f;
        if (allowTime && (upper == "T1" || upper == "T2" || upper == "T3")) {
            b.kind = static_cast<model::BindingKind>(model::T1 + (upper[1] - '1'));
        } else if (parseFloat(items[i], value)) {
            b.kind = model::Constant;
            b.value = value;
        } else {
            return commandUsageError(command, "--a: '" + items[i] + "' is not a finite number" +
                                                  (allowTime ? ", T1, T2 or T3" : ""));
        }
    }
    return kExitOk;
}

} // namespace

int applyBoxAndGrid(const char* command, const ParsedArgs& args, model::ModelObject& object) {
    std::string error;
    if (args.has("--box")) {
        std::vector<float> v;
        if (!parseFloatList(args.get("--box"), v, error) || v.size() != 6 || !(v[0] < v[3]) ||
            !(v[1] < v[4]) || !(v[2] < v[5]))
            return commandUsageError(command, "--box needs 6 numbers with each min < max");
        object.customBox = 1;
        object.ownBox = {v[0], v[1], v[2], v[3], v[4], v[5]};
    }
    if (args.has("--grid")) {
        std::vector<int> g;
        if (!parseIntList(args.get("--grid"), g, error) || g.size() != 3 ||
            std::any_of(g.begin(), g.end(), [](int n) { return n < 1 || n > 1000; }))
            return commandUsageError(command, "--grid needs 3 whole numbers from 1 to 1000");
        object.grid = {g[0], g[1], g[2]};
    }
    return kExitOk;
}

int applyObjectFlags(const char* command, const ParsedArgs& args, model::ModelObject& object,
                     bool allowTime) {
    if (int s = applyBoxAndGrid(command, args, object); s != kExitOk) return s;
    if (args.has("--a")) return applyA(command, args.get("--a"), object, allowTime);
    return kExitOk;
}

int refuseObjectFlags(const char* command, const ParsedArgs& args) {
    for (const char* flag : {"--box", "--grid", "--a", "--lib"})
        if (args.has(flag))
            return commandUsageError(command, std::string(flag) + " applies to FILE.lv OBJECT");
    return kExitOk;
}

} // namespace lv::cli
