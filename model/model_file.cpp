#include "model/model_file.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "lang/compiler.h"

namespace lv::model {

namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr const char* kFormatName = "lumovar-model";
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

// Names of the binding kinds in the file, indexed by kind - 1. ORDER KIND
constexpr const char* kKindNames[] = {"X", "Y", "Z", "constant", "T1", "T2", "T3"};

// A fault in the file; caught by parseModelFile and turned into its error text.
struct Fault {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw Fault{where.empty() ? what : where + ": " + what};
}

// ---- writing ----

// A float as the shortest decimal that reads back as the same float, carried as a double.
Json floatJson(float value) {
    char buffer[32];
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double d = 0.0;
    std::from_chars(buffer, written.ptr, d);
    if (static_cast<float>(d) != value) d = static_cast<double>(value);
    return Json(d);
}

Json floats(std::initializer_list<float> values) {
    Json array = Json::array();
    for (float v : values) array.push_back(floatJson(v));
    return array;
}

Json rgbJson(const Rgb& c) { return Json::array({c.red, c.green, c.blue}); }

Json boxJson(const BoundingBox& b) {
    return floats({b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax});
}

Json vecJson(const Vec3& v) { return floats({v.x, v.y, v.z}); }

Json arrayJson(const std::array<float, 3>& v) { return floats({v[0], v[1], v[2]}); }

Json bindingsJson(const ParameterList& list) {
    Json array = Json::array();
    for (const ParameterBinding& b : list.bindings) {
        Json entry = Json::object();
        entry["kind"] = isValidKind(b.kind) ? kKindNames[b.kind - 1] : "constant";
        entry["value"] = floatJson(b.value);
        array.push_back(entry);
    }
    return array;
}

Json settingsJson(const ModelSettings& s) {
    Json j = Json::object();
    j["defaultBox"] = boxJson(s.defaultBox);
    j["timeDefaults"] = arrayJson(s.timeDefaults);
    j["camera"] = {{"position", vecJson(s.cameraPosition)},
                   {"lookAt", vecJson(s.lookAt)},
                   {"sky", vecJson(s.sky)}};
    j["rayImageSize"] = Json::array({s.rayImage.width, s.rayImage.height});
    j["rayBackground"] = rgbJson(s.rayBackground);
    j["polyImageSize"] = Json::array({s.polyImage.width, s.polyImage.height});
    j["polyBackground"] = rgbJson(s.polyBackground);
    j["surfaceKind"] = s.surfaceKind;
    j["flatShading"] = s.flatShading ? 1 : 0;
    j["lighting"] = s.lightingOn ? 1 : 0;
    j["dithering"] = s.ditheringOn ? 1 : 0;
    j["antialiasing"] = s.antialiasingOn ? 1 : 0;
    return j;
}

// path as written in the file: relative to modelDir when it lies below it.
std::string storedPath(const std::string& path, const std::string& modelDir) {
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(path), ec).lexically_normal();
    if (ec) return path;
    fs::path relative = full.lexically_relative(fs::path(modelDir).lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return full.string();
    return relative.generic_string();
}

Json objectJson(const ModelObject& o, const std::string& modelDir) {
    Json j = Json::object();
    j["name"] = o.name;
    j["source"] = storedPath(o.sourcePath, modelDir);
    j["function"] = o.compiled ? o.compiled->name : std::string();
    j["x"] = bindingsJson(o.xBindings);
    j["a"] = bindingsJson(o.aBindings);
    j["transform"] = {{"translate", arrayJson(o.transform.translate)},
                      {"rotate", arrayJson(o.transform.rotate)},
                      {"scale", arrayJson(o.transform.scale)}};
    j["customBox"] = o.customBox ? 1 : 0;
    j["box"] = boxJson(o.ownBox);
    j["grid"] = Json::array({o.grid[0], o.grid[1], o.grid[2]});
    j["polyColour"] = rgbJson(o.polyColour);
    j["rayColour"] = rgbJson(o.rayColour);
    j["autoMaxGradient"] = o.autoMaxGradient;
    j["maxGradient"] = floatJson(o.maxGradient);
    j["accuracy"] = floatJson(o.accuracy);
    return j;
}

std::string trimmed(const std::string& line) {
    std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first);
}

bool opensBlock(const std::string& line) {
    return !line.empty() && (line.back() == '[' || line.back() == '{');
}

// Puts every bracketed block of at most six scalar items on one line, so that vectors, colours
// and bindings read as one line each.
std::string compactScalarBlocks(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (opensBlock(line)) {
            std::size_t end = i + 1;
            while (end < lines.size() && end - i <= 7 && !opensBlock(lines[end])) {
                std::string t = trimmed(lines[end]);
                if (t.starts_with("]") || t.starts_with("}")) break;
                ++end;
            }
            std::string close = end < lines.size() ? trimmed(lines[end]) : std::string();
            bool closes = close.starts_with("]") || close.starts_with("}");
            if (closes && end - i - 1 <= 6) {
                for (std::size_t k = i + 1; k < end; ++k)
                    line += (k == i + 1 ? "" : " ") + trimmed(lines[k]);
                line += close;
                i = end;
            }
        }
        out += line + "\n";
    }
    return out;
}

// ---- reading ----

const Json* find(const Json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const Json& require(const Json& object, const char* key, const std::string& where) {
    const Json* value = find(object, key);
    if (value == nullptr) fail(where, std::string("missing field \"") + key + "\"");
    return *value;
}

void expectObject(const Json& value, const std::string& where,
                  std::initializer_list<const char*> keys) {
    if (!value.is_object()) fail(where, "expected an object");
    for (const auto& item : value.items())
        if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return item.key() == k; }))
            fail(where, "unknown field \"" + item.key() + "\"");
}

const Json& expectArray(const Json& value, const std::string& where, std::size_t size) {
    if (!value.is_array() || value.size() != size)
        fail(where, "expected an array of " + std::to_string(size) + " numbers");
    return value;
}

float readFloat(const Json& value, const std::string& where) {
    if (!value.is_number()) fail(where, "expected a number");
    double d = value.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > static_cast<double>(FLT_MAX))
        fail(where, "number out of range");
    return static_cast<float>(d);
}

int readInt(const Json& value, const std::string& where, long long low, long long high) {
    if (!value.is_number_integer()) fail(where, "expected an integer");
    bool tooLarge = value.is_number_unsigned() &&
                    value.get<unsigned long long>() > static_cast<unsigned long long>(high);
    long long v = tooLarge ? high + 1 : value.get<long long>();
    if (v < low || v > high)
        fail(where, "expected an integer from " + std::to_string(low) + " to " +
                        std::to_string(high));
    return static_cast<int>(v);
}

std::string readString(const Json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "expected a string");
    std::string s = value.get<std::string>();
    if (s.empty() || s.find('\0') != std::string::npos) fail(where, "expected a non-empty text");
    return s;
}

void readFloats(const Json* value, const std::string& where, std::initializer_list<float*> out) {
    if (value == nullptr) return;
    expectArray(*value, where, out.size());
    std::size_t i = 0;
    for (float* f : out) {
        *f = readFloat((*value)[i], where + "[" + std::to_string(i + 1) + "]");
        ++i;
    }
}

void readBox(const Json* value, const std::string& where, BoundingBox& b) {
    readFloats(value, where, {&b.xmin, &b.ymin, &b.zmin, &b.xmax, &b.ymax, &b.zmax});
}

void readVec(const Json* value, const std::string& where, Vec3& v) {
    readFloats(value, where, {&v.x, &v.y, &v.z});
}

void readArray3(const Json* value, const std::string& where, std::array<float, 3>& v) {
    readFloats(value, where, {&v[0], &v[1], &v[2]});
}

void readRgb(const Json* value, const std::string& where, Rgb& c) {
    if (value == nullptr) return;
    expectArray(*value, where, 3);
    c.red = readInt((*value)[0], where + "[1]", 0, 255);
    c.green = readInt((*value)[1], where + "[2]", 0, 255);
    c.blue = readInt((*value)[2], where + "[3]", 0, 255);
}

void readImageSize(const Json* value, const std::string& where, ImageSize& size) {
    if (value == nullptr) return;
    expectArray(*value, where, 2);
    size.width = readInt((*value)[0], where + "[1]", 20, 1600);
    size.height = readInt((*value)[1], where + "[2]", 15, 1200);
}

void readIntField(const Json& object, const char* key, int low, int high, int& out) {
    if (const Json* value = find(object, key)) out = readInt(*value, key, low, high);
}

// A switch stored as 0 or 1.
void readSwitchField(const Json& object, const char* key, bool& out) {
    if (const Json* value = find(object, key)) out = readInt(*value, key, 0, 1) != 0;
}

void readSettings(const Json& j, ModelSettings& s) {
    expectObject(j, "settings",
                 {"defaultBox", "timeDefaults", "camera", "rayImageSize", "rayBackground",
                  "polyImageSize", "polyBackground", "surfaceKind", "flatShading", "lighting",
                  "dithering", "antialiasing"});
    readBox(find(j, "defaultBox"), "defaultBox", s.defaultBox);
    readArray3(find(j, "timeDefaults"), "timeDefaults", s.timeDefaults);
    if (const Json* camera = find(j, "camera")) {
        expectObject(*camera, "camera", {"position", "lookAt", "sky"});
        readVec(find(*camera, "position"), "camera.position", s.cameraPosition);
        readVec(find(*camera, "lookAt"), "camera.lookAt", s.lookAt);
        readVec(find(*camera, "sky"), "camera.sky", s.sky);
    }
    readImageSize(find(j, "rayImageSize"), "rayImageSize", s.rayImage);
    readRgb(find(j, "rayBackground"), "rayBackground", s.rayBackground);
    readImageSize(find(j, "polyImageSize"), "polyImageSize", s.polyImage);
    readRgb(find(j, "polyBackground"), "polyBackground", s.polyBackground);
    readIntField(j, "surfaceKind", SurfacePoints, SurfaceSolid, s.surfaceKind);
    readSwitchField(j, "flatShading", s.flatShading);
    readSwitchField(j, "lighting", s.lightingOn);
    readSwitchField(j, "dithering", s.ditheringOn);
    readSwitchField(j, "antialiasing", s.antialiasingOn);
}

BindingKind readKind(const Json& value, const std::string& where) {
    if (value.is_string())
        for (int k = XAxis; k <= T3; ++k)
            if (value.get<std::string>() == kKindNames[k - 1]) return static_cast<BindingKind>(k);
    fail(where, "kind must be one of X, Y, Z, constant, T1, T2, T3");
}

// Reads the bindings of list (already sized for the compiled object) from value.
void readBindings(const Json* value, const std::string& letter, bool isX, ParameterList& list) {
    if (value == nullptr) return;
    if (!value->is_array() || value->size() != list.bindings.size())
        fail(letter, "the function has " + std::to_string(list.bindings.size()) +
                         " components, the file gives " +
                         (value->is_array() ? std::to_string(value->size()) : "none"));
    list.xIndex = list.yIndex = list.zIndex = -1;
    for (std::size_t i = 0; i < list.bindings.size(); ++i) {
        std::string where = letter + "[" + std::to_string(i + 1) + "]";
        const Json& entry = (*value)[i];
        expectObject(entry, where, {"kind", "value"});
        ParameterBinding& b = list.bindings[i];
        b.kind = readKind(require(entry, "kind", where), where + ".kind");
        b.value = 0.0f;
        if (const Json* v = find(entry, "value")) b.value = readFloat(*v, where + ".value");
        if (!isAxisKind(b.kind)) continue;
        if (!isX) fail(where, "an a component cannot hold an axis");
        if (list.axisIndex(b.kind) >= 0)
            fail(where, std::string("axis ") + kKindNames[b.kind - 1] + " is held twice");
        list.axisIndex(b.kind) = static_cast<int>(i);
    }
    if (isX && (list.xIndex < 0 || list.yIndex < 0 || list.zIndex < 0))
        fail(letter, "X, Y and Z must each be held by one component");
}

void readTransform(const Json* value, Transform& t) {
    if (value == nullptr) return;
    expectObject(*value, "transform", {"translate", "rotate", "scale"});
    readArray3(find(*value, "translate"), "transform.translate", t.translate);
    readArray3(find(*value, "rotate"), "transform.rotate", t.rotate);
    readArray3(find(*value, "scale"), "transform.scale", t.scale);
}

std::string resolvedPath(const std::string& stored, const std::string& modelDir) {
    fs::path p(stored);
    if (p.is_relative()) p = fs::path(modelDir) / p;
    return p.lexically_normal().string();
}

// The compiled object the entry names, from its source file.
lang::CompiledObjectPtr compiledFor(const Json& j, const std::string& modelDir,
                                    SourceProvider& sources, std::string& sourcePath) {
    sourcePath = resolvedPath(readString(require(j, "source", ""), "source"), modelDir);
    std::string function = lang::lowerObjectName(readString(require(j, "function", ""), "function"));
    SourceObjects file = sources.compiledObjects(sourcePath);
    if (file.status == SourceObjects::Status::Unreadable)
        fail("", "cannot read " + sourcePath + ": " + file.message);
    if (file.status == SourceObjects::Status::HasError)
        fail("", sourcePath + ":" + std::to_string(file.line) + ":" + std::to_string(file.column) +
                     ": " + file.message);
    for (const auto& o : file.objects)
        if (o && o->name == function) {
            if (o->xSize < 3) fail("", "function '" + function + "' has fewer than 3 x components");
            return lang::copyObject(*o);
        }
    fail("", sourcePath + " has no function '" + function + "'");
}

void readObjectSettings(const Json& j, ModelObject& o) {
    readTransform(find(j, "transform"), o.transform);
    readSwitchField(j, "customBox", o.customBox);
    readBox(find(j, "box"), "box", o.ownBox);
    const BoundingBox& b = o.ownBox;
    if (o.customBox != 0 && (b.xmin > b.xmax || b.ymin > b.ymax || b.zmin > b.zmax))
        fail("box", "a custom box needs min <= max on every axis");
    if (const Json* grid = find(j, "grid")) {
        expectArray(*grid, "grid", 3);
        for (std::size_t i = 0; i < 3; ++i)
            o.grid[i] = readInt((*grid)[i], "grid[" + std::to_string(i + 1) + "]", 2,
                                kMaxGridCount);
    }
    readRgb(find(j, "polyColour"), "polyColour", o.polyColour);
    readRgb(find(j, "rayColour"), "rayColour", o.rayColour);
    readIntField(j, "autoMaxGradient", 0, 1, o.autoMaxGradient);
    if (const Json* v = find(j, "maxGradient")) {
        o.maxGradient = readFloat(*v, "maxGradient");
        if (!(v->get<double>() >= 0.1)) fail("maxGradient", "must be at least 0.1");
    }
    if (const Json* v = find(j, "accuracy")) {
        o.accuracy = readFloat(*v, "accuracy");
        double d = v->get<double>();
        if (!(d >= 1e-6 && d <= 0.1)) fail("accuracy", "must lie in 1e-6 .. 0.1");
    }
}

std::unique_ptr<ModelObject> readObject(const Json& j, const std::string& modelDir,
                                        SourceProvider& sources) {
    std::string sourcePath;
    lang::CompiledObjectPtr compiled = compiledFor(j, modelDir, sources, sourcePath);
    auto o = std::make_unique<ModelObject>(
        makeModelObject(readString(require(j, "name", ""), "name"), compiled, sourcePath));
    readBindings(find(j, "x"), "x", true, o->xBindings);
    readBindings(find(j, "a"), "a", false, o->aBindings);
    readObjectSettings(j, *o);
    return o;
}

void readObjects(const Json& objects, const std::string& modelDir, SourceProvider& sources,
                 Model& model) {
    if (!objects.is_array()) fail("objects", "expected an array");
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Json& j = objects[i];
        std::string where = "object " + std::to_string(i + 1);
        try {
            expectObject(j, "", {"name", "source", "function", "x", "a", "transform",
                                 "customBox", "box", "grid", "polyColour", "rayColour",
                                 "autoMaxGradient", "maxGradient", "accuracy"});
            if (const Json* name = find(j, "name"); name != nullptr && name->is_string())
                where += " '" + name->get<std::string>() + "'";
            auto o = readObject(j, modelDir, sources);
            if (model.findObject(o->name) != nullptr) fail("", "the name is used twice");
            model.appendObject(std::move(o));
        } catch (const Fault& f) {
            fail(where, f.message);
        }
    }
}

void readTimeCurve(const Json& rows, std::vector<TimeRow>& out) {
    if (!rows.is_array()) fail("timeCurve", "expected an array");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TimeRow row;
        readFloats(&rows[i], "timeCurve[" + std::to_string(i + 1) + "]",
                   {&row.t1, &row.t2, &row.t3});
        out.push_back(row);
    }
}

void readDocument(const Json& j, const std::string& modelDir, SourceProvider& sources,
                  ModelFileContents& out) {
    expectObject(j, "", {"format", "version", "eps", "alpha", "settings", "timeCurve", "objects"});
    const Json& format = require(j, "format", "");
    if (!format.is_string() || format.get<std::string>() != kFormatName)
        fail("", std::string("not a model file (format must be \"") + kFormatName + "\")");
    const Json& version = require(j, "version", "");
    if (!version.is_number_integer() || version.get<long long>() != kModelFileVersion)
        fail("", "unsupported model file version " + version.dump() + " (this program reads " +
                     std::to_string(kModelFileVersion) + ")");
    if (const Json* eps = find(j, "eps")) {
        out.eps = readFloat(*eps, "eps");
        if (!(out.eps > 0.0f && out.eps < 1.0f)) fail("eps", lang::kEpsRangeMessage);
    }
    if (const Json* alpha = find(j, "alpha")) {
        out.alpha = readFloat(*alpha, "alpha");
        if (!(out.alpha >= -1.0f && out.alpha <= 1.0f)) fail("alpha", lang::kAlphaRangeMessage);
    }
    if (const Json* settings = find(j, "settings")) readSettings(*settings, out.model.settings);
    if (const Json* rows = find(j, "timeCurve")) readTimeCurve(*rows, out.timeRows);
    if (const Json* objects = find(j, "objects"))
        readObjects(*objects, modelDir, sources, out.model);
}

std::string parseErrorText(const char* what) {
    std::string text = what;
    std::size_t bracket = text.find("] ");
    return text.starts_with("[json.exception") && bracket != std::string::npos
               ? text.substr(bracket + 2)
               : text;
}

std::string absoluteDirOf(const std::string& path) {
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(path), ec);
    return (ec ? fs::path(path) : full).lexically_normal().parent_path().string();
}

} // namespace

std::string modelFileText(const ModelFileContents& contents, const std::string& modelDir) {
    Json j = Json::object();
    j["format"] = kFormatName;
    j["version"] = kModelFileVersion;
    j["eps"] = floatJson(contents.eps);
    j["alpha"] = floatJson(contents.alpha);
    j["settings"] = settingsJson(contents.model.settings);
    Json rows = Json::array();
    for (const TimeRow& r : contents.timeRows) rows.push_back(floats({r.t1, r.t2, r.t3}));
    j["timeCurve"] = rows;
    Json objects = Json::array();
    for (int i = 0; i < contents.model.count(); ++i)
        objects.push_back(objectJson(contents.model.object(i), modelDir));
    j["objects"] = objects;
    return compactScalarBlocks(j.dump(2, ' ', false, Json::error_handler_t::replace));
}

bool parseModelFile(const std::string& text, const std::string& fileName,
                    const std::string& modelDir, SourceProvider& sources,
                    ModelFileContents& out, std::string& error) {
    try {
        Json j = Json::parse(text);
        ModelFileContents contents;
        readDocument(j, modelDir, sources, contents);
        out = std::move(contents);
        return true;
    } catch (const Fault& f) {
        error = fileName + ": error: " + f.message;
    } catch (const nlohmann::json::parse_error& e) {
        error = fileName + ": error: malformed JSON: " + parseErrorText(e.what());
    } catch (const std::exception& e) {
        error = fileName + ": error: " + parseErrorText(e.what());
    }
    return false;
}

bool loadModelFile(const std::string& path, SourceProvider& sources, ModelFileContents& out,
                   std::string& error) {
    std::error_code ec;
    std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxFileBytes) {
        error = path + ": error: the file is too large for a model file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad() || fs::is_directory(path, ec)) {
        error = path + ": error: cannot read the file";
        return false;
    }
    return parseModelFile(bytes, path, absoluteDirOf(path), sources, out, error);
}

bool saveModelFile(const std::string& path, const ModelFileContents& contents,
                   std::string& error) {
    std::string text;
    try {
        text = modelFileText(contents, absoluteDirOf(path));
    } catch (const std::exception& e) {
        error = path + ": error: " + e.what();
        return false;
    }
    fs::path target(path);
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) ||
            !out.flush()) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            error = path + ": error: cannot write " + temp.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        error = path + ": error: cannot replace the file: " + ec.message();
        return false;
    }
    return true;
}

} // namespace lv::model
