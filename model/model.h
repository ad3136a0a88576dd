#pragma once
// The model: an ordered list of model objects made from compiled objects, each binding the
// components of its x and a arrays to space axes, constants or time variables, with its
// transform, box, grid and colours; the model-wide settings; and the frame bracket
// prepareFrame / evaluateAt / releaseFrame that the renderers sample objects through.
//
// Threads: a Model is used by one thread at a time (the GUI's model on the GUI thread, a render
// job's copy on its worker). Evaluation has no hidden global state apart from EPS and ALPHA:
// each EvalSlot owns its workspace, so copies of one slot may evaluate on several threads.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "geometry/vec3.h"
#include "lang/compiled_object.h"
#include "model/source_provider.h"

namespace lv::model {

// ORDER KIND: the values are stored in model files.
enum BindingKind : int { XAxis = 1, YAxis = 2, ZAxis = 3, Constant = 4, T1 = 5, T2 = 6, T3 = 7 };

inline bool isAxisKind(int kind) { return kind >= XAxis && kind <= ZAxis; }
inline bool isTimeKind(int kind) { return kind >= T1 && kind <= T3; }
inline bool isValidKind(int kind) { return kind >= XAxis && kind <= T3; }

struct ParameterBinding {
    BindingKind kind = Constant;
    float value = 0.0f; // the constant; axis kinds keep it untouched while they hold the axis
};

// Bindings of an x or a array. Invariant of an x list with n >= 3: XAxis, YAxis and ZAxis are
// held by three distinct components recorded in the indices, every other component is Constant,
// T1, T2 or T3. An a list never holds an axis kind; its indices stay -1.
struct ParameterList {
    std::vector<ParameterBinding> bindings;
    float t1 = 0.0f, t2 = 0.0f, t3 = 0.0f; // the time values last given to prepareFrame
    int xIndex = -1, yIndex = -1, zIndex = -1; // 0-based component holding the axis, or -1

    int count() const { return static_cast<int>(bindings.size()); }
    // The index field of axis (XAxis, YAxis or ZAxis).
    int& axisIndex(int axis);
    int axisIndex(int axis) const;
};

struct Transform {
    std::array<float, 3> translate{0.0f, 0.0f, 0.0f}; // X, Y, Z
    std::array<float, 3> rotate{0.0f, 0.0f, 0.0f};    // X, Y, Z, in degrees
    std::array<float, 3> scale{1.0f, 1.0f, 1.0f};     // consumers use the absolute values
};

struct BoundingBox {
    float xmin = -10.0f, ymin = -10.0f, zmin = -10.0f;
    float xmax = 10.0f, ymax = 10.0f, zmax = 10.0f;
};

// A colour of three components 0..255.
struct Rgb {
    int red = 0, green = 0, blue = 0;

    // Stores the three components when each lies in 0..255; otherwise returns false and keeps
    // the colour unchanged.
    bool set(int r, int g, int b);
    bool operator==(const Rgb&) const = default;
};

// A component as a channel value 0..1 (component times 1/255).
double channel(int component);

// Points and directions of the settings, in single precision as model files store them.
using Vec3 = geom::Vec3f;

struct ImageSize {
    int width = 160, height = 120; // pixels
};

enum SurfaceKind : int { SurfacePoints = 0, SurfaceWireframe = 1, SurfaceSolid = 2 };

// Model-wide settings, all with their start-up defaults.
struct ModelSettings {
    BoundingBox defaultBox;                            // the box of objects without their own
    std::array<float, 3> timeDefaults{0.0f, 0.0f, 0.0f}; // T1, T2, T3 of the single frame
    Vec3 cameraPosition{10.0f, 10.0f, 10.0f};
    Vec3 lookAt{0.0f, 0.0f, 0.0f};
    Vec3 sky{0.0f, 1.0f, 0.0f};
    ImageSize rayImage;                                 // ray-tracing image size
    Rgb rayBackground{255, 255, 255};
    ImageSize polyImage;                                // polygonization window client size
    Rgb polyBackground{255, 255, 255};
    int surfaceKind = SurfaceSolid;
    bool flatShading = true; // false: Gouraud
    bool lightingOn = true;
    bool ditheringOn = false;
    bool antialiasingOn = false;
};

struct ModelObject {
    std::string name;                // unique in the model, compared byte for byte
    lang::CompiledObjectPtr compiled; // the object's own copy; compiled objects never change
    std::string sourcePath;          // full path of the source file it came from
    BoundingBox ownBox;
    bool customBox = false;          // false: the model's default box is used
    ParameterList xBindings;         // compiled->xSize entries
    ParameterList aBindings;         // compiled->aSize entries
    Transform transform;
    int autoMaxGradient = 1;         // ray tracing: evaluate the gradient instead of maxGradient
    float maxGradient = 10.0f;
    float accuracy = 0.001f;
    Rgb rayColour{0, 255, 0};
    std::array<int, 3> grid{25, 25, 25}; // polygonizer cell counts along X, Y, Z
    Rgb polyColour{0, 255, 0};
};

// The box an object is polygonized and ray-traced in: its own box when its custom-box flag is
// set, else the model's default box.
const BoundingBox& effectiveBox(const ModelObject& object, const ModelSettings& settings);

// A model object made from compiled with the new-object defaults: every binding Constant 0.0,
// then x[1], x[2], x[3] (as far as they exist) on X, Y and Z.
ModelObject makeModelObject(const std::string& name, lang::CompiledObjectPtr compiled,
                            const std::string& sourcePath);

// A deep copy of object (a copy never shares mutable state with its original).
std::unique_ptr<ModelObject> copyModelObject(const ModelObject& object);

// Gives axis (XAxis, YAxis or ZAxis) to x component i: i keeps it if it holds it already; if i
// holds another axis the two components swap; otherwise the previous holder becomes Constant
// with its stored value. Returns false, changing nothing, for a bad axis or component or an x
// list that does not hold the axis.
bool assignAxis(ModelObject& object, int axis, int component);
// Stores kind (Constant, T1, T2 or T3) for component. Returns false, changing nothing, for
// another kind, a component out of range or a component that holds an axis (an axis leaves a
// component only through assignAxis).
bool setKind(ParameterList& list, int component, BindingKind kind);
// Stores value as component's constant; false for a component out of range.
bool setValue(ParameterList& list, int component, float value);

// The prepared evaluation of one object for one frame.
struct EvalSlot {
    std::vector<float> workspace; // x at 0.., a at xSize.., then locals and nested frames
    std::vector<int> flags;       // parallel to workspace
    std::vector<float> inputs;    // the x and a values of the frame, before any evaluation
    lang::CompiledObjectPtr object;
    int xIndex = -1, yIndex = -1, zIndex = -1;
    long long failures = 0;       // evaluations that ended in a run-time error
    lang::RuntimeError firstError; // the first of them (when failures > 0)
};

// Value returned for a point where the object's code fails: far outside every solid.
float failedEvaluationValue();

// F of slot's object at the space point (x, y, z); F >= 0 is inside. The transform is not
// applied. Every evaluation starts from the frame's x and a values (a transform that changed
// them in an earlier evaluation is forgotten). A run-time error returns
// failedEvaluationValue() and is counted in the slot.
// Writes into the slot: evaluations of one slot must not overlap (copy the slot per thread).
float evaluateAt(EvalSlot& slot, float x, float y, float z);

struct TimeUsage {
    bool t1 = false, t2 = false, t3 = false;
};

class Model {
public:
    ModelSettings settings;

    Model() = default;
    Model(const Model&) = delete; // copyModel makes the deep copy
    Model& operator=(const Model&) = delete;
    Model(Model&&) noexcept = default;
    Model& operator=(Model&&) noexcept = default;

    int count() const { return static_cast<int>(objects_.size()); }
    // Object i in list order (0 <= i < count()).
    ModelObject& object(int i) { return *objects_[static_cast<std::size_t>(i)]; }
    const ModelObject& object(int i) const { return *objects_[static_cast<std::size_t>(i)]; }

    // Appends an object made from the compiled object named functionName (exactly) of the file
    // at sourcePath, got through sources, under name (functionName when name is empty). Returns
    // null, changing nothing, when the file cannot be read or has an error, has no such object,
    // or the model already has an object of that name. The caller makes it current.
    ModelObject* addObject(SourceProvider& sources, const std::string& name,
                           const std::string& functionName, const std::string& sourcePath);
    // The first object named name (exact comparison), or null.
    ModelObject* findObject(const std::string& name);
    const ModelObject* findObject(const std::string& name) const;
    // Takes ownership of object and appends it; returns it (null when object is null).
    ModelObject* appendObject(std::unique_ptr<ModelObject> object);
    // Destroys object if it belongs to the model; clears the current object if it was it.
    void removeObject(const ModelObject* object);
    // Destroys every object; no current object afterwards.
    void removeAll();
    // Destroys every object and appends deep copies of edited, in order; the copy of selected
    // (an element of edited, or null) becomes the current object, else there is none. This is
    // how dialogs that edit working copies store them on OK. Returns the new current object.
    ModelObject* replaceObjects(const std::vector<std::unique_ptr<ModelObject>>& edited,
                                const ModelObject* selected);

    ModelObject* currentObject() const { return current_; }
    // Makes object current when it belongs to the model or is null; false otherwise.
    bool setCurrentObject(ModelObject* object);

    // A new model with deep copies of all objects in order and every setting; no current
    // object, no prepared frame.
    std::unique_ptr<Model> copyModel() const;

    // Which time variables any binding of any object uses.
    TimeUsage timeUsage() const;

    // Prepares a frame: frameIndex > 0 uses t1..t3, otherwise the time defaults. Stores the
    // time values in every binding list, builds one EvalSlot per object in list order and
    // composes the scene text. Returns 1, or 0 when memory ran out (no frame is prepared then).
    int prepareFrame(int frameIndex, float t1, float t2, float t3);
    // Frees the slots and empties the scene text.
    void releaseFrame();
    bool framePrepared() const { return prepared_; }
    // The slots of the prepared frame (empty when none is prepared). GUI code that includes
    // this header after a Qt header has `slots` defined as a keyword macro: it is set aside
    // here so the declarations parse; such code calls evalSlots().
#pragma push_macro("slots")
#undef slots
    std::vector<EvalSlot>& slots() { return slots_; }
    const std::vector<EvalSlot>& slots() const { return slots_; }
#pragma pop_macro("slots")
    std::vector<EvalSlot>& evalSlots() { return slots_; }
    const std::vector<EvalSlot>& evalSlots() const { return slots_; }
    const std::string& sceneText() const { return sceneText_; }

private:
    std::vector<std::unique_ptr<ModelObject>> objects_;
    ModelObject* current_ = nullptr;
    std::vector<EvalSlot> slots_;
    std::string sceneText_;
    bool prepared_ = false;
};

} // namespace lv::model
