#pragma once
// A source provider over in-memory program texts, for model tests that need no files.
#include <map>
#include <string>

#include "lang/compiler.h"
#include "model/source_provider.h"

namespace lv::model::testing {

class FakeSources : public SourceProvider {
public:
    std::map<std::string, std::string> texts; // path -> program text
    int lookups = 0;

    SourceObjects compiledObjects(const std::string& path) override {
        ++lookups;
        SourceObjects result;
        auto it = texts.find(path);
        if (it == texts.end()) {
            result.message = "No such file or directory";
            return result;
        }
        std::vector<lang::CompileError> errors;
        lang::compileProgram(it->second.c_str(), result.objects, errors, {});
        if (!errors.empty()) {
            result.status = SourceObjects::Status::HasError;
            result.message = errors.front().message;
            result.line = errors.front().line;
            result.column = errors.front().column;
            return result;
        }
        result.status = SourceObjects::Status::Compiled;
        return result;
    }
};

// ball: a sphere of radius a[1]; quad: x[4] and a[1], a[2] in the value; bad: a syntax error.
inline const char* kShapes =
    "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n"
    "quad(x[4], a[2]) { quad = x[1] + 10 * x[2] + 100 * x[3] + 1000 * x[4] + a[1] - a[2]; }\n"
    "div(x[3], a[0]) { div = 1 / x[1]; }\n";

} // namespace lv::model::testing
