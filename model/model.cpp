#include "model/model.h"

#include <algorithm>
#include <new>

#include "eval/interpreter.h"
#include "model/scene_text.h"
#include "primitives/conventions.h"

namespace lv::model {

namespace {

int* indexField(ParameterList& list, int axis) {
    switch (axis) {
    case XAxis: return &list.xIndex;
    case YAxis: return &list.yIndex;
    case ZAxis: return &list.zIndex;
    default: return nullptr;
    }
}

bool inRange(const ParameterList& list, int component) {
    return component >= 0 && component < list.count();
}

// The workspace value of one binding for the frame's time values.
float frameValue(const ParameterBinding& b, float t1, float t2, float t3) {
    switch (b.kind) {
    case T1: return t1;
    case T2: return t2;
    case T3: return t3;
    default: return b.value;
    }
}

// Fills count workspace entries from list, starting at offset; entries beyond the list (or
// beyond the workspace) are left as they are, so a list of the wrong length cannot overrun.
void fillFrom(const ParameterList& list, int count, int offset, std::vector<float>& workspace) {
    int n = std::min(count, list.count());
    for (int i = 0; i < n && offset + i < static_cast<int>(workspace.size()); ++i)
        workspace[static_cast<std::size_t>(offset + i)] =
            frameValue(list.bindings[static_cast<std::size_t>(i)], list.t1, list.t2, list.t3);
}

void storeTimes(ParameterList& list, float t1, float t2, float t3) {
    list.t1 = t1;
    list.t2 = t2;
    list.t3 = t3;
}

EvalSlot makeSlot(ModelObject& o) {
    EvalSlot slot;
    if (!o.compiled) return slot; // evaluates as failed
    slot.object = o.compiled;
    const lang::CompiledObject& c = *o.compiled;
    // One spare entry, as the interpreter's own Workspace keeps, so that an object without
    // slots still has a valid array.
    std::size_t size = static_cast<std::size_t>(c.workspaceSize()) + 1;
    slot.workspace.assign(size, 0.0f);
    slot.flags.assign(size, 1);
    fillFrom(o.xBindings, c.xSize, 0, slot.workspace);
    fillFrom(o.aBindings, c.aSize, c.xSize, slot.workspace);
    // An axis index outside x (a malformed object) is not written at evaluation.
    auto usable = [&](int index) { return index >= 0 && index < c.xSize ? index : -1; };
    slot.inputs.assign(slot.workspace.begin(), slot.workspace.begin() + c.xSize + c.aSize);
    slot.xIndex = usable(o.xBindings.xIndex);
    slot.yIndex = usable(o.xBindings.yIndex);
    slot.zIndex = usable(o.xBindings.zIndex);
    return slot;
}

} // namespace

int& ParameterList::axisIndex(int axis) {
    int* field = indexField(*this, axis);
    return field != nullptr ? *field : xIndex;
}

int ParameterList::axisIndex(int axis) const {
    return const_cast<ParameterList&>(*this).axisIndex(axis);
}

bool Rgb::set(int r, int g, int b) {
    auto ok = [](int v) { return v >= 0 && v <= 255; };
    if (!ok(r) || !ok(g) || !ok(b)) return false;
    red = r;
    green = g;
    blue = b;
    return true;
}

double channel(int component) { return component * 0.00392156862745098; }

const BoundingBox& effectiveBox(const ModelObject& object, const ModelSettings& settings) {
    return object.customBox != 0 ? object.ownBox : settings.defaultBox;
}

ModelObject makeModelObject(const std::string& name, lang::CompiledObjectPtr compiled,
                            const std::string& sourcePath) {
    ModelObject o;
    o.name = name;
    o.sourcePath = sourcePath;
    int n = compiled ? compiled->xSize : 0;
    int m = compiled ? compiled->aSize : 0;
    o.compiled = std::move(compiled);
    o.xBindings.bindings.assign(static_cast<std::size_t>(std::max(n, 0)), ParameterBinding{});
    o.aBindings.bindings.assign(static_cast<std::size_t>(std::max(m, 0)), ParameterBinding{});
    const BindingKind axes[3] = {XAxis, YAxis, ZAxis};
    for (int i = 0; i < 3 && i < n; ++i) {
        o.xBindings.bindings[static_cast<std::size_t>(i)].kind = axes[i];
        o.xBindings.axisIndex(axes[i]) = i;
    }
    return o;
}

std::unique_ptr<ModelObject> copyModelObject(const ModelObject& object) {
    // Every member is a value; the compiled object is immutable, so sharing it is a deep copy.
    return std::make_unique<ModelObject>(object);
}

bool assignAxis(ModelObject& object, int axis, int component) {
    ParameterList& x = object.xBindings;
    if (!isAxisKind(axis) || !inRange(x, component)) return false;
    int j = x.axisIndex(axis);
    if (!inRange(x, j) || x.bindings[static_cast<std::size_t>(j)].kind != axis) return false;
    if (component == j) return true;
    ParameterBinding& target = x.bindings[static_cast<std::size_t>(component)];
    ParameterBinding& holder = x.bindings[static_cast<std::size_t>(j)];
    if (isAxisKind(target.kind)) {
        BindingKind other = target.kind; // the two components swap their axes
        holder.kind = other;
        x.axisIndex(other) = j;
    } else {
        holder.kind = Constant; // keeps its stored value
    }
    target.kind = static_cast<BindingKind>(axis);
    x.axisIndex(axis) = component;
    return true;
}

bool setKind(ParameterList& list, int component, BindingKind kind) {
    if (!(kind == Constant || isTimeKind(kind)) || !inRange(list, component)) return false;
    ParameterBinding& b = list.bindings[static_cast<std::size_t>(component)];
    if (isAxisKind(b.kind)) return false;
    b.kind = kind;
    return true;
}

bool setValue(ParameterList& list, int component, float value) {
    if (!inRange(list, component)) return false;
    list.bindings[static_cast<std::size_t>(component)].value = value;
    return true;
}

float failedEvaluationValue() { return prim::OUTSIDE_VALUE; }

float evaluateAt(EvalSlot& slot, float x, float y, float z) {
    if (!slot.object || slot.workspace.empty()) return failedEvaluationValue();
    std::copy(slot.inputs.begin(), slot.inputs.end(), slot.workspace.begin());
    if (slot.xIndex >= 0) slot.workspace[static_cast<std::size_t>(slot.xIndex)] = x;
    if (slot.yIndex >= 0) slot.workspace[static_cast<std::size_t>(slot.yIndex)] = y;
    if (slot.zIndex >= 0) slot.workspace[static_cast<std::size_t>(slot.zIndex)] = z;
    float result = 0.0f;
    lang::RuntimeError error;
    if (eval::executeObject(*slot.object, slot.workspace.data(), slot.flags.data(), result,
                            error) != 0)
        return result;
    if (slot.failures++ == 0) slot.firstError = error;
    return failedEvaluationValue();
}

ModelObject* Model::addObject(SourceProvider& sources, const std::string& name,
                              const std::string& functionName, const std::string& sourcePath) {
    SourceObjects file = sources.compiledObjects(sourcePath);
    if (file.status != SourceObjects::Status::Compiled) return nullptr;
    auto found = std::find_if(file.objects.begin(), file.objects.end(),
                              [&](const auto& o) { return o && o->name == functionName; });
    if (found == file.objects.end()) return nullptr;
    const std::string& objectName = name.empty() ? functionName : name;
    if (findObject(objectName) != nullptr) return nullptr;
    lang::CompiledObjectPtr copy = lang::copyObject(**found);
    return appendObject(
        std::make_unique<ModelObject>(makeModelObject(objectName, copy, sourcePath)));
}

ModelObject* Model::findObject(const std::string& name) {
    for (auto& o : objects_)
        if (o->name == name) return o.get();
    return nullptr;
}

const ModelObject* Model::findObject(const std::string& name) const {
    return const_cast<Model*>(this)->findObject(name);
}

ModelObject* Model::appendObject(std::unique_ptr<ModelObject> object) {
    if (!object) return nullptr;
    objects_.push_back(std::move(object));
    return objects_.back().get();
}

void Model::removeObject(const ModelObject* object) {
    if (object == nullptr) return;
    if (current_ == object) current_ = nullptr;
    std::erase_if(objects_, [&](const auto& o) { return o.get() == object; });
}

void Model::removeAll() {
    objects_.clear();
    current_ = nullptr;
}

ModelObject* Model::replaceObjects(const std::vector<std::unique_ptr<ModelObject>>& edited,
                                   const ModelObject* selected) {
    // The copies are made before anything is destroyed: edited may hold the model's own objects.
    std::vector<std::unique_ptr<ModelObject>> fresh;
    fresh.reserve(edited.size());
    ModelObject* newCurrent = nullptr;
    for (const auto& o : edited) {
        if (!o) continue;
        fresh.push_back(copyModelObject(*o));
        if (o.get() == selected) newCurrent = fresh.back().get();
    }
    objects_ = std::move(fresh);
    current_ = newCurrent;
    return current_;
}

bool Model::setCurrentObject(ModelObject* object) {
    if (object != nullptr &&
        std::none_of(objects_.begin(), objects_.end(),
                     [&](const auto& o) { return o.get() == object; }))
        return false;
    current_ = object;
    return true;
}

std::unique_ptr<Model> Model::copyModel() const {
    auto copy = std::make_unique<Model>();
    for (const auto& o : objects_) copy->appendObject(copyModelObject(*o));
    copy->settings = settings;
    return copy;
}

TimeUsage Model::timeUsage() const {
    TimeUsage used;
    auto mark = [&](const ParameterList& list) {
        for (const ParameterBinding& b : list.bindings) {
            if (b.kind == T1) used.t1 = true;
            if (b.kind == T2) used.t2 = true;
            if (b.kind == T3) used.t3 = true;
            if (used.t1 && used.t2 && used.t3) return true;
        }
        return false;
    };
    for (const auto& o : objects_)
        if (mark(o->xBindings) || mark(o->aBindings)) break;
    return used;
}

int Model::prepareFrame(int frameIndex, float t1, float t2, float t3) {
    releaseFrame();
    if (frameIndex <= 0) {
        t1 = settings.timeDefaults[0];
        t2 = settings.timeDefaults[1];
        t3 = settings.timeDefaults[2];
    }
    try {
        std::string blocks;
        slots_.reserve(objects_.size());
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            ModelObject& o = *objects_[i];
            storeTimes(o.xBindings, t1, t2, t3);
            storeTimes(o.aBindings, t1, t2, t3);
            slots_.push_back(makeSlot(o));
            blocks += sceneObjectBlock(o, static_cast<int>(i), effectiveBox(o, settings));
        }
        sceneText_ = sceneHeader(settings) + blocks;
    } catch (const std::bad_alloc&) {
        releaseFrame();
        return 0;
    }
    prepared_ = true;
    return 1;
}

void Model::releaseFrame() {
    slots_.clear();
    slots_.shrink_to_fit();
    sceneText_.clear();
    sceneText_.shrink_to_fit();
    prepared_ = false;
}

} // namespace lv::model
