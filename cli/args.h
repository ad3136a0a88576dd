#pragma once
// Command-line parsing shared by the subcommands: flags with values, positionals, numbers.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lv::cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitUserError = 1; // an error in the user's program or data
constexpr int kExitUsage = 2;     // bad usage or an unreadable file

struct FlagDef {
    const char* name;   // "--x"
    bool takesValue;
    const char* help;   // one line for --help
};

struct ParsedArgs {
    std::vector<std::string> positionals;
    std::map<std::string, std::string> values; // flag -> value ("" for switches)
    bool help = false;

    bool has(const std::string& flag) const { return values.count(flag) != 0; }
    std::string get(const std::string& flag, const std::string& fallback = "") const;
};

// Parses argv[first..] against the flag definitions. On a bad flag returns nullopt with error set.
std::optional<ParsedArgs> parseArgs(int argc, char** argv, int first,
                                    const std::vector<FlagDef>& flags, std::string& error);

// Items separated by commas and/or blanks; an empty item between two commas is kept (and
// then rejected by the caller), an entirely blank text has no items.
std::vector<std::string> splitList(const std::string& text);
// Parses "V,V,..." (commas and/or blanks) into floats with the C locale. False on any bad
// or non-finite item, with error naming it.
bool parseFloatList(const std::string& text, std::vector<float>& out, std::string& error);
// Parses "N,N,..." into ints; false on a bad item.
bool parseIntList(const std::string& text, std::vector<int>& out, std::string& error);
// Parses one float; false unless the whole text is a finite number.
bool parseFloat(const std::string& text, float& out);

// Prints "usage" then one line per flag.
void printUsage(const char* usage, const std::vector<FlagDef>& flags);

} // namespace lv::cli
