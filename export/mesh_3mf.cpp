#include "export/mesh_3mf.h"

#include <Model/COM/NMR_DLLInterfaces.h>

#include <cstdint>
#include <memory>

namespace lv::exporter {

namespace {

// Releases a library object when it goes out of scope.
// The library's objects are opaque pointers.
using Object = NMR::PLib3MFBase*;

struct Release {
    void operator()(void* p) const {
        if (p) {
            NMR::lib3mf_release(static_cast<Object>(p));
        }
    }
};
using Handle = std::unique_ptr<void, Release>;

bool failed(LIB3MFRESULT result, Object object, const char* what, std::string& error) {
    if (result == LIB3MF_OK) {
        return false;
    }
    DWORD code = 0;
    LPCSTR message = nullptr;
    if (object) {
        NMR::lib3mf_getlasterror(object, &code, &message);
    }
    error = std::string("3MF: ") + what + " failed" + (message ? std::string(": ") + message : "");
    return true;
}

std::uint8_t channel(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Adds one part as a mesh object with its base material and a build item.
bool addPart(Object model, Object materials, DWORD materialGroup, const MeshPart& part,
             std::string& error) {
    Object raw = nullptr;
    if (failed(NMR::lib3mf_model_addmeshobject(model, &raw), model, "adding an object", error)) {
        return false;
    }
    Handle object(raw);
    if (failed(NMR::lib3mf_object_setnameutf8(raw, part.name.c_str()), raw, "naming", error)) {
        return false;
    }
    std::vector<NMR::MODELMESHVERTEX> vertices(part.mesh.vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const Vec3& v = part.mesh.vertices[i];
        vertices[i] = {{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}};
    }
    std::vector<NMR::MODELMESHTRIANGLE> triangles;
    triangles.reserve(part.mesh.faces.size() * 2);
    for (const IndexedMesh::Face& f : part.mesh.faces) {
        triangles.push_back({{f.v[0], f.v[1], f.v[2]}});
        if (f.count == 4) {
            triangles.push_back({{f.v[0], f.v[2], f.v[3]}});
        }
    }
    if (vertices.size() > UINT32_MAX || triangles.size() > UINT32_MAX) {
        error = "3MF: too many vertices or triangles in one object";
        return false;
    }
    if (failed(NMR::lib3mf_meshobject_setgeometry(
                   raw, vertices.data(), static_cast<DWORD>(vertices.size()), triangles.data(),
                   static_cast<DWORD>(triangles.size())),
               raw, "storing the mesh", error)) {
        return false;
    }
    DWORD index = 0;
    const std::uint8_t r = channel(part.color.r), g = channel(part.color.g),
                       b = channel(part.color.b);
    if (failed(
            NMR::lib3mf_basematerial_addmaterialutf8(materials, part.name.c_str(), r, g, b, &index),
            materials, "adding a material", error) ||
        // The library stores a new material's colour as fully transparent: make it opaque.
        failed(NMR::lib3mf_basematerial_setdisplaycolorrgba(materials, index, r, g, b, 255),
               materials, "colouring a material", error)) {
        return false;
    }
    Object handler = nullptr;
    if (failed(NMR::lib3mf_object_createdefaultpropertyhandler(raw, &handler), raw,
               "colouring an object", error)) {
        return false;
    }
    Handle ownedHandler(handler);
    if (failed(NMR::lib3mf_defaultpropertyhandler_setbasematerial(handler, materialGroup, index),
               handler, "colouring an object", error)) {
        return false;
    }
    Object item = nullptr;
    if (failed(NMR::lib3mf_model_addbuilditem(model, raw, nullptr, &item), model,
               "placing an object", error)) {
        return false;
    }
    Handle ownedItem(item);
    return true;
}

} // namespace

bool write3mf(ReplacingFile& file, const std::vector<MeshPart>& parts, std::string& error) {
    Object raw = nullptr;
    if (failed(NMR::lib3mf_createmodel(&raw), nullptr, "creating the model", error)) {
        return false;
    }
    Handle model(raw);
    Object rawMaterials = nullptr;
    if (failed(NMR::lib3mf_model_addbasematerialgroup(raw, &rawMaterials), raw, "adding materials",
               error)) {
        return false;
    }
    Handle materials(rawMaterials);
    DWORD group = 0;
    if (failed(NMR::lib3mf_basematerial_getresourceid(rawMaterials, &group), rawMaterials,
               "adding materials", error)) {
        return false;
    }
    for (const MeshPart& part : parts) {
        if (!addPart(raw, rawMaterials, group, part, error)) {
            return false;
        }
    }
    Object rawWriter = nullptr;
    if (failed(NMR::lib3mf_model_querywriter(raw, "3mf", &rawWriter), raw, "writing", error)) {
        return false;
    }
    Handle writer(rawWriter);
    ULONG64 size = 0;
    if (failed(NMR::lib3mf_writer_getstreamsize(rawWriter, &size), rawWriter, "writing", error)) {
        return false;
    }
    std::vector<BYTE> bytes(static_cast<std::size_t>(size));
    if (failed(NMR::lib3mf_writer_writetobuffer(rawWriter, bytes.data(), size), rawWriter,
               "writing", error)) {
        return false;
    }
    return file.write(bytes.data(), bytes.size(), error);
}

} // namespace lv::exporter
