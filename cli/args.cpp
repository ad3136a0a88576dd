#include "cli/args.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lv::cli {

std::string ParsedArgs::get(const std::string& flag, const std::string& fallback) const {
    auto it = values.find(flag);
    return it == values.end() ? fallback : it->second;
}

std::optional<ParsedArgs> parseArgs(int argc, char** argv, int first,
                                    const std::vector<FlagDef>& flags, std::string& error) {
    ParsedArgs out;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-' || arg == "-") {
            out.positionals.push_back(arg);
            continue;
        }
        std::string value;
        bool inlineValue = false;
        if (auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        const FlagDef* def = nullptr;
        for (const FlagDef& s : flags)
            if (arg == s.name) def = &s;
        if (def == nullptr) {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
        if (def->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = "option '" + arg + "' needs a value";
                return std::nullopt;
            }
            value = argv[++i];
        } else if (!def->takesValue && inlineValue) {
            error = "option '" + arg + "' takes no value";
            return std::nullopt;
        }
        if (out.values.count(arg) != 0) {
            error = "option '" + arg + "' given twice";
            return std::nullopt;
        }
        out.values[arg] = value;
    }
    return out;
}

bool parseFloat(const std::string& text, float& out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end != begin + text.size() || !std::isfinite(v) || std::fabs(v) > 3.4028234663852886e38)
        return false;
    out = static_cast<float>(v);
    return true;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    if (text.find_first_not_of(" \t") == std::string::npos) return items;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::size_t before = items.size();
        std::size_t i = 0;
        while ((i = piece.find_first_not_of(" \t", i)) != std::string::npos) {
            std::size_t j = piece.find_first_of(" \t", i);
            items.push_back(piece.substr(i, j == std::string::npos ? j : j - i));
            i = j;
        }
        if (items.size() == before) items.emplace_back();
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

bool parseFloatList(const std::string& text, std::vector<float>& out, std::string& error) {
    out.clear();
    for (const std::string& item : splitList(text)) {
        float v;
        if (!parseFloat(item, v)) {
            error = "'" + item + "' is not a finite number";
            return false;
        }
        out.push_back(v);
    }
    return true;
}

bool parseIntList(const std::string& text, std::vector<int>& out, std::string& error) {
    out.clear();
    for (const std::string& item : splitList(text)) {
        char* end = nullptr;
        errno = 0;
        long v = item.empty() ? 0 : std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || errno != 0 || v < -2147483647L || v > 2147483647L) {
            error = "'" + item + "' is not a whole number";
            return false;
        }
        out.push_back(static_cast<int>(v));
    }
    return true;
}

void printUsage(const char* usage, const std::vector<FlagDef>& flags) {
    std::printf("usage: %s\n", usage);
    if (flags.empty()) return;
    std::printf("\noptions:\n");
    for (const FlagDef& s : flags) std::printf("  %-14s %s\n", s.name, s.help);
    std::printf("  %-14s %s\n", "--help", "show this help");
}

} // namespace lv::cli
