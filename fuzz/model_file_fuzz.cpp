// Parses arbitrary bytes as a model file. Sources resolve to one fixed program (a file whose
// name contains "bad" has a compile error, one containing "missing" cannot be read). Every
// accepted file must save, load again to the same text, and prepare a frame.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/model_file.h"

namespace {

const char* kProgram = "ball(x[3], a[1]) { ball = a[1] - x[1]*x[1] - x[2]*x[2] - x[3]*x[3]; }\n"
                       "quad(x[4], a[2]) { quad = x[1] + x[2] + x[3] + x[4] + a[1] / a[2]; }\n";

class FixedSources : public lv::model::SourceProvider {
public:
    lv::model::SourceObjects compiledObjects(const std::string& path) override {
        using Status = lv::model::SourceObjects::Status;
        lv::model::SourceObjects result;
        if (path.find("missing") != std::string::npos) return result;
        if (path.find("bad") != std::string::npos) {
            result.status = Status::HasError;
            result.message = "Expression expected";
            return result;
        }
        if (objects_.empty()) {
            std::vector<lv::lang::CompileError> errors;
            lv::lang::compileProgram(kProgram, objects_, errors, {});
        }
        result.status = Status::Compiled;
        result.objects = objects_;
        return result;
    }

private:
    lv::lang::ObjectList objects_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FixedSources sources;
    std::string text(reinterpret_cast<const char*>(data), size);
    lv::model::ModelFileContents contents;
    std::string error;
    if (!lv::model::parseModelFile(text, "fuzz.lvm", "/models", sources, contents, error)) {
        if (error.empty()) __builtin_trap(); // a refusal always says why
        return 0;
    }
    std::string saved = lv::model::modelFileText(contents, "/models");
    lv::model::ModelFileContents again;
    if (!lv::model::parseModelFile(saved, "fuzz.lvm", "/models", sources, again, error))
        __builtin_trap();
    if (lv::model::modelFileText(again, "/models") != saved) __builtin_trap();
    if (contents.model.prepareFrame(1, 0.5f, 1.0f, 2.0f) != 1) __builtin_trap();
    for (auto& slot : contents.model.slots()) lv::model::evaluateAt(slot, 0.25f, -1.0f, 2.0f);
    contents.model.releaseFrame();
    return 0;
}
