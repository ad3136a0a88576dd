#include "export/mesh_files.h"

#include "export/mesh_3mf.h"
#include "export/output_paths.h"
#include "export/replacing_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

namespace lv::exporter {

namespace {

// ---- text ----

void appendNumber(std::string& out, double v, bool fixedDigits) {
    char buf[40];
    // %.17g when fixedDigits, else the shortest text that reads back as the same double.
    const auto result =
        fixedDigits ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17)
                    : std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr);
}

void appendFloat(std::string& out, float v) {
    char buf[40];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void appendInt(std::string& out, long long v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void appendPoint(std::string& out, const Vec3& v, bool fixedDigits) {
    appendNumber(out, v.x, fixedDigits);
    out += ' ';
    appendNumber(out, v.y, fixedDigits);
    out += ' ';
    appendNumber(out, v.z, fixedDigits);
}

void appendColor(std::string& out, const Rgb& c) {
    const int channels[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            out += ' ';
        }
        appendFloat(out, static_cast<float>(std::clamp(channels[i], 0, 255) * (1.0 / 255.0)));
    }
}

// A name as one word: white space and control characters become '_'; empty becomes "object".
std::string word(const std::string& name) {
    std::string out = name.empty() ? "object" : name;
    for (char& ch : out) {
        if (static_cast<unsigned char>(ch) <= ' ' || ch == 0x7f) {
            ch = '_';
        }
    }
    return out;
}

// One distinct word per part (a suffix where two names would read the same).
std::vector<std::string> partWords(const std::vector<MeshPart>& parts) {
    std::vector<std::string> out;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string w = word(parts[i].name);
        while (!taken.insert(w).second) {
            w += "_" + std::to_string(i + 1);
        }
        out.push_back(w);
    }
    return out;
}

// Buffers text and hands it to the file in large pieces.
class TextSink {
public:
    TextSink(ReplacingFile& file, std::string& error) : file_(file), error_(error) {}
    std::string& text() { return text_; }
    bool flushIfLarge() { return text_.size() < (1u << 20) || flush(); }
    bool flush() {
        const bool ok = ok_ && file_.write(text_.data(), text_.size(), error_);
        text_.clear();
        ok_ = ok;
        return ok;
    }

private:
    ReplacingFile& file_;
    std::string& error_;
    std::string text_;
    bool ok_ = true;
};

bool writePoly(TextSink& sink, const Mesh& mesh) {
    for (const MeshPolygon& p : mesh.polygons) {
        std::string& t = sink.text();
        appendInt(t, p.count);
        for (int i = 0; i < p.count; ++i) {
            t += ' ';
            appendPoint(t, p.v[i], true);
        }
        t += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    return sink.flush();
}

// Appends " i0 i1 ..." for a face, its indices offset by base.
void appendFace(std::string& t, const IndexedMesh::Face& f, long long base) {
    for (int i = 0; i < f.count; ++i) {
        t += ' ';
        appendInt(t, base + f.v[i]);
    }
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The .mtl path beside an .obj path: the extension replaced.
std::string mtlPath(const std::string& objPath) {
    const std::size_t dot = objPath.rfind('.');
    return objPath.substr(0, dot) + ".mtl";
}

bool writeMtl(TextSink& sink, const std::vector<MeshPart>& parts,
              const std::vector<std::string>& words) {
    std::string& t = sink.text();
    t += "# Lumovar materials\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        t += "newmtl " + words[i] + "\nKa 0 0 0\nKd ";
        appendColor(t, parts[i].color);
        t += "\nKs 0 0 0\nd 1\nillum 1\n\n";
    }
    return sink.flush();
}

bool writeObj(TextSink& sink, const std::vector<MeshPart>& parts,
              const std::vector<std::string>& words, const std::string& mtlName) {
    sink.text() += "# Lumovar mesh\nmtllib " + mtlName + "\n";
    long long base = 1;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const IndexedMesh& m = parts[i].mesh;
        sink.text() += "o " + words[i] + "\nusemtl " + words[i] + "\n";
        for (const Vec3& v : m.vertices) {
            sink.text() += "v ";
            appendPoint(sink.text(), v, false);
            sink.text() += '\n';
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
        for (const IndexedMesh::Face& f : m.faces) {
            sink.text() += 'f';
            appendFace(sink.text(), f, base);
            sink.text() += '\n';
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
        base += static_cast<long long>(m.vertices.size());
    }
    return sink.flush();
}

bool writePly(TextSink& sink, const std::vector<MeshPart>& parts) {
    std::size_t vertices = 0, faces = 0;
    for (const MeshPart& p : parts) {
        vertices += p.mesh.vertices.size();
        faces += p.mesh.faces.size();
    }
    std::string& t = sink.text();
    t += "ply\nformat ascii 1.0\ncomment Lumovar mesh\n";
    for (const MeshPart& p : parts) {
        t += "comment object " + word(p.name) + "\n";
    }
    t += "element vertex ";
    appendInt(t, static_cast<long long>(vertices));
    t += "\nproperty double x\nproperty double y\nproperty double z\nelement face ";
    appendInt(t, static_cast<long long>(faces));
    t += "\nproperty list uchar int vertex_indices\nproperty uchar red\nproperty uchar green\n"
         "property uchar blue\nend_header\n";
    for (const MeshPart& p : parts) {
        for (const Vec3& v : p.mesh.vertices) {
            appendPoint(sink.text(), v, false);
            sink.text() += '\n';
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
    }
    long long base = 0;
    for (const MeshPart& p : parts) {
        std::string color;
        for (int c : {p.color.r, p.color.g, p.color.b}) {
            color += ' ';
            appendInt(color, std::clamp(c, 0, 255));
        }
        for (const IndexedMesh::Face& f : p.mesh.faces) {
            appendInt(sink.text(), f.count);
            appendFace(sink.text(), f, base);
            sink.text() += color;
            sink.text() += '\n';
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
        base += static_cast<long long>(p.mesh.vertices.size());
    }
    return sink.flush();
}

bool isClosed(const IndexedMesh& m) {
    return !m.faces.empty() && nonManifoldEdges(m, VertexFaces(m)) == 0;
}

bool writeWrl(TextSink& sink, const std::vector<MeshPart>& parts) {
    sink.text() += "#VRML V2.0 utf8\n# Lumovar mesh\n";
    for (const MeshPart& p : parts) {
        std::string& t = sink.text();
        t += "# object " + word(p.name) +
             "\nShape {\n  appearance Appearance {\n"
             "    material Material { diffuseColor ";
        appendColor(t, p.color);
        t += " }\n  }\n  geometry IndexedFaceSet {\n    solid ";
        t += isClosed(p.mesh) ? "TRUE" : "FALSE";
        t += "\n    ccw TRUE\n    convex FALSE\n    coord Coordinate {\n      point [\n";
        for (const Vec3& v : p.mesh.vertices) {
            sink.text() += "        ";
            appendPoint(sink.text(), v, false);
            sink.text() += ",\n";
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
        sink.text() += "      ]\n    }\n    coordIndex [\n";
        for (const IndexedMesh::Face& f : p.mesh.faces) {
            sink.text() += "     ";
            appendFace(sink.text(), f, 0);
            sink.text() += " -1,\n";
            if (!sink.flushIfLarge()) {
                return false;
            }
        }
        sink.text() += "    ]\n  }\n}\n";
    }
    return sink.flush();
}

void putU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

void putFloat(unsigned char* p, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU32(p, bits);
}

// One binary STL triangle record: normal, three corners, no attributes.
void appendStlTriangle(std::vector<unsigned char>& out, const Vec3& a, const Vec3& b,
                       const Vec3& c) {
    Vec3 n = cross(b - a, c - a);
    const double len = length(n);
    n = len > 0.0 ? Vec3{n.x / len, n.y / len, n.z / len} : Vec3{};
    unsigned char record[50] = {};
    int at = 0;
    for (const Vec3* v : {static_cast<const Vec3*>(&n), &a, &b, &c}) {
        putFloat(record + at, static_cast<float>(v->x));
        putFloat(record + at + 4, static_cast<float>(v->y));
        putFloat(record + at + 8, static_cast<float>(v->z));
        at += 12;
    }
    out.insert(out.end(), record, record + 50);
}

bool writeStl(ReplacingFile& file, const std::vector<MeshPart>& parts, std::string& error) {
    std::size_t triangles = 0;
    for (const MeshPart& p : parts) {
        for (const IndexedMesh::Face& f : p.mesh.faces) {
            triangles += f.count == 4 ? 2 : 1;
        }
    }
    if (triangles > UINT32_MAX) {
        error = "too many triangles for an STL file";
        return false;
    }
    std::vector<unsigned char> out(84, 0);
    const char header[] = "Lumovar binary STL";
    std::memcpy(out.data(), header, sizeof header - 1);
    putU32(out.data() + 80, static_cast<std::uint32_t>(triangles));
    for (const MeshPart& p : parts) {
        const std::vector<Vec3>& vs = p.mesh.vertices;
        for (const IndexedMesh::Face& f : p.mesh.faces) {
            appendStlTriangle(out, vs[f.v[0]], vs[f.v[1]], vs[f.v[2]]);
            if (f.count == 4) {
                appendStlTriangle(out, vs[f.v[0]], vs[f.v[2]], vs[f.v[3]]);
            }
            if (out.size() >= (1u << 20)) {
                if (!file.write(out.data(), out.size(), error)) {
                    return false;
                }
                out.clear();
            }
        }
    }
    return file.write(out.data(), out.size(), error);
}

} // namespace

MeshFormat meshFormatFromPath(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".poly")
        return MeshFormat::Poly;
    if (ext == ".stl")
        return MeshFormat::Stl;
    if (ext == ".obj")
        return MeshFormat::Obj;
    if (ext == ".ply")
        return MeshFormat::Ply;
    if (ext == ".wrl")
        return MeshFormat::Wrl;
    if (ext == ".3mf")
        return MeshFormat::ThreeMf;
    return MeshFormat::Unknown;
}

bool writePolyFile(const std::string& path, const Mesh& mesh, std::string& error) {
    ReplacingFile file;
    if (!file.open(path, error)) {
        return false;
    }
    TextSink sink(file, error);
    return writePoly(sink, mesh) && file.commit(error);
}

bool writeMeshFile(const std::string& path, const std::vector<MeshPart>& parts,
                   std::string& error) {
    const MeshFormat format = meshFormatFromPath(path);
    if (format == MeshFormat::Unknown || format == MeshFormat::Poly) {
        error = "unknown mesh file type '" + path + "' (use .stl, .obj, .ply, .wrl or .3mf)";
        return false;
    }
    ReplacingFile file;
    if (!file.open(path, error)) {
        return false;
    }
    TextSink sink(file, error);
    switch (format) {
    case MeshFormat::Stl:
        return writeStl(file, parts, error) && file.commit(error);
    case MeshFormat::Ply:
        return writePly(sink, parts) && file.commit(error);
    case MeshFormat::Wrl:
        return writeWrl(sink, parts) && file.commit(error);
    case MeshFormat::ThreeMf:
        return write3mf(file, parts, error) && file.commit(error);
    case MeshFormat::Obj: {
        const std::vector<std::string> words = partWords(parts);
        const std::string mtl = mtlPath(path);
        ReplacingFile materials;
        if (!materials.open(mtl, error)) {
            return false;
        }
        TextSink mtlSink(materials, error);
        return writeObj(sink, parts, words, baseName(mtl)) && writeMtl(mtlSink, parts, words) &&
               file.commit(error) && materials.commit(error);
    }
    default:
        return false;
    }
}

} // namespace lv::exporter
