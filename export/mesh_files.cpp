#include "export/mesh_files.h"

#include "export/replacing_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace lv::exporter {

void Mesh::add(const double* xs, const double* ys, const double* zs, int count) {
    if (count != 3 && count != 4) {
        return;
    }
    MeshPolygon p;
    p.count = count;
    for (int i = 0; i < count; ++i) {
        p.v[i] = {xs[i], ys[i], zs[i]};
    }
    polygons.push_back(p);
}

namespace {

// The default weld distance: twice the polygonizer's duplicate distance of 0.001 (see weldMesh).
constexpr double kDefaultWeld = 0.002;

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const Vec3& a) { return std::sqrt(dot(a, a)); }

// ---- welding ----

struct CellKey {
    std::int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};

struct CellKeyHash {
    std::size_t operator()(const CellKey& k) const {
        std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<std::uint64_t>(k.y) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
        h ^= static_cast<std::uint64_t>(k.z) + 0x85EBCA77C2B2AE63ull + (h << 6) + (h >> 2);
        return static_cast<std::size_t>(h ^ (h >> 31));
    }
};

std::int64_t bitsOf(double v) {
    if (v == 0.0) {
        v = 0.0; // -0 and +0 are the same point
    }
    std::int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// Removes repeated neighbours (cyclically); false when fewer than 3 distinct vertices remain.
bool cleanFace(IndexedMesh::Face& face) {
    std::uint32_t kept[4];
    int n = 0;
    for (int i = 0; i < face.count; ++i) {
        if (n == 0 || kept[n - 1] != face.v[i]) {
            kept[n++] = face.v[i];
        }
    }
    while (n > 1 && kept[n - 1] == kept[0]) {
        --n;
    }
    if (n < 3 || (n == 4 && (kept[0] == kept[2] || kept[1] == kept[3]))) {
        return false;
    }
    face.count = n;
    std::copy(kept, kept + n, face.v);
    return true;
}

// Faces over the same vertex set come in pairs where welding folded a thin strip onto itself;
// each pair bounds nothing, so both go (an odd one out stays).
void dropFacePairs(std::vector<IndexedMesh::Face>& faces) {
    struct SetHash {
        std::size_t operator()(const std::array<std::uint32_t, 4>& k) const {
            std::size_t h = 0;
            for (std::uint32_t v : k) {
                h = h * 0x9E3779B97F4A7C15ull + v;
            }
            return h;
        }
    };
    auto keyOf = [](const IndexedMesh::Face& f) {
        std::array<std::uint32_t, 4> k{UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX};
        std::copy(f.v, f.v + f.count, k.begin());
        std::sort(k.begin(), k.end());
        return k;
    };
    std::unordered_map<std::array<std::uint32_t, 4>, std::size_t, SetHash> open;
    std::vector<bool> drop(faces.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const auto [it, inserted] = open.try_emplace(keyOf(faces[i]), i);
        if (!inserted) {
            drop[it->second] = drop[i] = true;
            open.erase(it);
            any = true;
        }
    }
    if (!any) {
        return;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (!drop[i]) {
            faces[kept++] = faces[i];
        }
    }
    faces.resize(kept);
}

// Renumbers the vertices that faces use, in order of first use, and forgets the others.
void dropUnusedVertices(IndexedMesh& mesh) {
    std::vector<std::uint32_t> number(mesh.vertices.size(), UINT32_MAX);
    std::vector<Vec3> kept;
    for (IndexedMesh::Face& face : mesh.faces) {
        for (int i = 0; i < face.count; ++i) {
            std::uint32_t& n = number[face.v[i]];
            if (n == UINT32_MAX) {
                n = static_cast<std::uint32_t>(kept.size());
                kept.push_back(mesh.vertices[face.v[i]]);
            }
            face.v[i] = n;
        }
    }
    mesh.vertices = std::move(kept);
}

std::size_t bitsHash(const Vec3& v) {
    return CellKeyHash{}({bitsOf(v.x), bitsOf(v.y), bitsOf(v.z)});
}

bool isFinite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Joins the mesh's vertices into clusters: bit-equal points always, and, with a tolerance,
// points whose coordinates all differ by less than it, transitively (union-find).
class Welder {
public:
    Welder(const Mesh& mesh, double tolerance) {
        collectPoints(mesh);
        parent_.resize(points_.size());
        for (std::uint32_t i = 0; i < parent_.size(); ++i) {
            parent_[i] = i;
        }
        if (tolerance > 0.0 && std::isfinite(tolerance)) {
            joinNear(tolerance);
        }
    }

    // Each polygon vertex's cluster, numbered by first appearance; vertices get the position
    // of the cluster's first point.
    IndexedMesh build(const Mesh& mesh) {
        IndexedMesh out;
        std::vector<std::uint32_t> number(points_.size(), UINT32_MAX);
        std::size_t at = 0;
        for (std::size_t polygon = 0; polygon < mesh.polygons.size(); ++polygon) {
            const MeshPolygon& p = mesh.polygons[polygon];
            IndexedMesh::Face face;
            face.count = p.count;
            face.polygon = polygon;
            for (int i = 0; i < p.count; ++i) {
                const std::uint32_t root = find(pointOf_[at++]);
                if (number[root] == UINT32_MAX) {
                    number[root] = static_cast<std::uint32_t>(out.vertices.size());
                    out.vertices.push_back(points_[root]);
                }
                face.v[i] = number[root];
            }
            if (cleanFace(face)) {
                out.faces.push_back(face);
            }
        }
        dropFacePairs(out.faces);
        dropUnusedVertices(out);
        return out;
    }

private:
    struct BitsEqual {
        bool operator()(const Vec3& a, const Vec3& b) const {
            return bitsOf(a.x) == bitsOf(b.x) && bitsOf(a.y) == bitsOf(b.y) &&
                   bitsOf(a.z) == bitsOf(b.z);
        }
    };
    struct BitsHash {
        std::size_t operator()(const Vec3& v) const { return bitsHash(v); }
    };

    // Distinct points (bit-equal ones merged; non-finite ones never), in order of appearance.
    void collectPoints(const Mesh& mesh) {
        std::unordered_map<Vec3, std::uint32_t, BitsHash, BitsEqual> seen;
        for (const MeshPolygon& p : mesh.polygons) {
            for (int i = 0; i < p.count; ++i) {
                const Vec3& v = p.v[i];
                const auto next = static_cast<std::uint32_t>(points_.size());
                if (!isFinite(v)) {
                    points_.push_back(v);
                    pointOf_.push_back(next);
                    continue;
                }
                const auto [it, inserted] = seen.try_emplace(v, next);
                if (inserted) {
                    points_.push_back(v);
                }
                pointOf_.push_back(it->second);
            }
        }
    }

    void joinNear(double tolerance) {
        Vec3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL};
        double extent = 0.0;
        for (const Vec3& v : points_) {
            if (isFinite(v)) {
                lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            }
        }
        for (const Vec3& v : points_) {
            if (isFinite(v)) {
                extent = std::max({extent, v.x - lo.x, v.y - lo.y, v.z - lo.z});
            }
        }
        if (!(extent / tolerance < 1e15)) {
            return; // cells would not fit in 64 bits: bit-equal points only
        }
        std::unordered_map<CellKey, std::vector<std::uint32_t>, CellKeyHash> cells;
        for (std::uint32_t i = 0; i < points_.size(); ++i) {
            const Vec3& v = points_[i];
            if (!isFinite(v)) {
                continue;
            }
            const CellKey key{static_cast<std::int64_t>(std::floor((v.x - lo.x) / tolerance)),
                              static_cast<std::int64_t>(std::floor((v.y - lo.y) / tolerance)),
                              static_cast<std::int64_t>(std::floor((v.z - lo.z) / tolerance))};
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dz = -1; dz <= 1; ++dz) {
                        const auto it = cells.find({key.x + dx, key.y + dy, key.z + dz});
                        if (it == cells.end()) {
                            continue;
                        }
                        for (std::uint32_t j : it->second) {
                            const Vec3& w = points_[j];
                            if (std::fabs(v.x - w.x) < tolerance &&
                                std::fabs(v.y - w.y) < tolerance &&
                                std::fabs(v.z - w.z) < tolerance) {
                                unite(i, j);
                            }
                        }
                    }
                }
            }
            cells[key].push_back(i);
        }
    }

    std::uint32_t find(std::uint32_t i) {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }

    // The root of a cluster is its lowest-numbered (earliest) point.
    void unite(std::uint32_t a, std::uint32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) {
            parent_[std::max(a, b)] = std::min(a, b);
        }
    }

    std::vector<Vec3> points_;
    std::vector<std::uint32_t> pointOf_; // polygon vertex -> point
    std::vector<std::uint32_t> parent_;
};

// ---- orientation ----

// Newell's normal (not normalised): robust for non-planar quadrilaterals.
Vec3 newellNormal(const MeshPolygon& p) {
    Vec3 n;
    for (int i = 0; i < p.count; ++i) {
        const Vec3& a = p.v[i];
        const Vec3& b = p.v[(i + 1) % p.count];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

// +1 when the normal points outward, -1 inward, 0 undecided.
int outwardSign(const MeshPolygon& p, const InsideFunction& inside) {
    const Vec3 raw = newellNormal(p);
    const double len = length(raw);
    if (!(len > 0.0) || !std::isfinite(len)) {
        return 0;
    }
    const Vec3 n{raw.x / len, raw.y / len, raw.z / len};
    Vec3 c;
    double longest = 0.0;
    for (int i = 0; i < p.count; ++i) {
        c = {c.x + p.v[i].x, c.y + p.v[i].y, c.z + p.v[i].z};
        longest = std::max(longest, length(sub(p.v[(i + 1) % p.count], p.v[i])));
    }
    c = {c.x / p.count, c.y / p.count, c.z / p.count};
    for (double scale : {0.1, 0.5, 0.02}) {
        const double h = scale * longest;
        const float plus = inside(static_cast<float>(c.x + h * n.x),
                                  static_cast<float>(c.y + h * n.y),
                                  static_cast<float>(c.z + h * n.z));
        const float minus = inside(static_cast<float>(c.x - h * n.x),
                                   static_cast<float>(c.y - h * n.y),
                                   static_cast<float>(c.z - h * n.z));
        if (!std::isfinite(plus) || !std::isfinite(minus)) {
            return 0;
        }
        if (plus != minus) {
            return plus < minus ? 1 : -1; // outward is toward smaller F
        }
    }
    return 0;
}

MeshPolygon polygonOf(const IndexedMesh& mesh, const IndexedMesh::Face& face) {
    MeshPolygon p;
    p.count = face.count;
    for (int i = 0; i < face.count; ++i) {
        p.v[i] = mesh.vertices[face.v[i]];
    }
    return p;
}

// Faces joined by an edge that exactly two faces share, with the relative flip that makes the
// pair consistent (1 when both run along the edge in the same direction).
struct Neighbour {
    std::uint32_t face, other;
    bool flip;
    bool operator<(const Neighbour& b) const {
        return face != b.face ? face < b.face : other < b.other;
    }
};

std::vector<Neighbour> manifoldNeighbours(const IndexedMesh& mesh) {
    struct EdgeUse {
        std::uint64_t key;
        std::uint32_t face;
        bool forward;
    };
    std::vector<EdgeUse> uses;
    for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
        const IndexedMesh::Face& face = mesh.faces[f];
        for (int i = 0; i < face.count; ++i) {
            const std::uint32_t a = face.v[i], b = face.v[(i + 1) % face.count];
            const std::uint64_t key = (std::uint64_t{std::min(a, b)} << 32) | std::max(a, b);
            uses.push_back({key, f, a < b});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& a, const EdgeUse& b) {
        return a.key != b.key ? a.key < b.key : a.face < b.face;
    });
    std::vector<Neighbour> out;
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i;
        while (j < uses.size() && uses[j].key == uses[i].key) {
            ++j;
        }
        if (j - i == 2 && uses[i].face != uses[i + 1].face) {
            const bool flip = uses[i].forward == uses[i + 1].forward;
            out.push_back({uses[i].face, uses[i + 1].face, flip});
            out.push_back({uses[i + 1].face, uses[i].face, flip});
        }
        i = j;
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Which faces to reverse. Faces are first made consistent with their neighbours across manifold
// edges (breadth first from the lowest-numbered face of each patch); then each patch as a whole
// takes the orientation that the area-weighted vote of its faces' own tests favours. One face
// misjudged near a crease or a thin wall is outvoted by its patch.
std::vector<bool> outwardFlips(const IndexedMesh& mesh, const InsideFunction& inside) {
    const std::vector<Neighbour> links = manifoldNeighbours(mesh);
    std::vector<std::size_t> first(mesh.faces.size() + 1, 0);
    for (const Neighbour& n : links) {
        ++first[n.face + 1];
    }
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        first[f + 1] += first[f];
    }
    std::vector<signed char> flip(mesh.faces.size(), -1);
    std::vector<std::uint32_t> patch;
    for (std::uint32_t seed = 0; seed < mesh.faces.size(); ++seed) {
        if (flip[seed] >= 0) {
            continue;
        }
        patch.assign(1, seed);
        flip[seed] = 0;
        for (std::size_t at = 0; at < patch.size(); ++at) {
            const std::uint32_t f = patch[at];
            for (std::size_t k = first[f]; k < first[f + 1]; ++k) {
                const Neighbour& n = links[k];
                if (flip[n.other] < 0) {
                    flip[n.other] = static_cast<signed char>(flip[f] ^ n.flip);
                    patch.push_back(n.other);
                }
            }
        }
        double vote = 0.0;
        for (std::uint32_t f : patch) {
            const MeshPolygon p = polygonOf(mesh, mesh.faces[f]);
            const double weight = 0.5 * length(newellNormal(p));
            vote += (flip[f] ? -weight : weight) * outwardSign(p, inside);
        }
        if (vote < 0.0) {
            for (std::uint32_t f : patch) {
                flip[f] = static_cast<signed char>(!flip[f]);
            }
        }
    }
    return std::vector<bool>(flip.begin(), flip.end());
}

// ---- text ----

void appendNumber(std::string& out, double v, bool fixedDigits) {
    char buf[40];
    // %.17g when fixedDigits, else the shortest text that reads back as the same double.
    const auto result = fixedDigits ? std::to_chars(buf, buf + sizeof buf, v,
                                                    std::chars_format::general, 17)
                                    : std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr);
}

void appendFloat(std::string& out, float v) {
    char buf[40];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void appendInt(std::string& out, long long v) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, result.ptr);
}

void appendPoint(std::string& out, const Vec3& v, bool fixedDigits, const char* separator) {
    appendNumber(out, v.x, fixedDigits);
    out += separator;
    appendNumber(out, v.y, fixedDigits);
    out += separator;
    appendNumber(out, v.z, fixedDigits);
}

// ---- files ----

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
            appendPoint(t, p.v[i], true, " ");
        }
        t += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    return sink.flush();
}

bool writeObj(TextSink& sink, const IndexedMesh& m) {
    sink.text() += "# Lumovar mesh\n";
    for (const Vec3& v : m.vertices) {
        sink.text() += "v ";
        appendPoint(sink.text(), v, false, " ");
        sink.text() += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    for (const IndexedMesh::Face& f : m.faces) {
        sink.text() += 'f';
        for (int i = 0; i < f.count; ++i) {
            sink.text() += ' ';
            appendInt(sink.text(), static_cast<long long>(f.v[i]) + 1);
        }
        sink.text() += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    return sink.flush();
}

bool writePly(TextSink& sink, const IndexedMesh& m) {
    std::string& t = sink.text();
    t += "ply\nformat ascii 1.0\ncomment Lumovar mesh\nelement vertex ";
    appendInt(t, static_cast<long long>(m.vertices.size()));
    t += "\nproperty double x\nproperty double y\nproperty double z\nelement face ";
    appendInt(t, static_cast<long long>(m.faces.size()));
    t += "\nproperty list uchar int vertex_indices\nend_header\n";
    for (const Vec3& v : m.vertices) {
        appendPoint(sink.text(), v, false, " ");
        sink.text() += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    for (const IndexedMesh::Face& f : m.faces) {
        appendInt(sink.text(), f.count);
        for (int i = 0; i < f.count; ++i) {
            sink.text() += ' ';
            appendInt(sink.text(), f.v[i]);
        }
        sink.text() += '\n';
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    return sink.flush();
}

bool writeWrl(TextSink& sink, const IndexedMesh& m, const Rgb& color, bool oriented) {
    std::string& t = sink.text();
    t += "#VRML V2.0 utf8\n# Lumovar mesh\nShape {\n  appearance Appearance {\n"
         "    material Material { diffuseColor ";
    const int channels[3] = {color.r, color.g, color.b};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            t += ' ';
        }
        appendFloat(t, static_cast<float>(std::clamp(channels[i], 0, 255) * (1.0 / 255.0)));
    }
    t += " }\n  }\n  geometry IndexedFaceSet {\n    solid ";
    t += oriented ? "TRUE" : "FALSE";
    t += "\n    ccw TRUE\n    convex FALSE\n    coord Coordinate {\n      point [\n";
    for (const Vec3& v : m.vertices) {
        sink.text() += "        ";
        appendPoint(sink.text(), v, false, " ");
        sink.text() += ",\n";
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    sink.text() += "      ]\n    }\n    coordIndex [\n";
    for (const IndexedMesh::Face& f : m.faces) {
        sink.text() += "      ";
        for (int i = 0; i < f.count; ++i) {
            appendInt(sink.text(), f.v[i]);
            sink.text() += ' ';
        }
        sink.text() += "-1,\n";
        if (!sink.flushIfLarge()) {
            return false;
        }
    }
    sink.text() += "    ]\n  }\n}\n";
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

// Binary STL: quadrilaterals are split along their shorter diagonal.
bool writeStl(ReplacingFile& file, const IndexedMesh& m, std::string& error) {
    std::vector<std::array<std::uint32_t, 3>> triangles;
    triangles.reserve(m.faces.size() * 2);
    for (const IndexedMesh::Face& f : m.faces) {
        if (f.count == 3) {
            triangles.push_back({f.v[0], f.v[1], f.v[2]});
            continue;
        }
        const auto& vs = m.vertices;
        const double d02 = length(sub(vs[f.v[2]], vs[f.v[0]]));
        const double d13 = length(sub(vs[f.v[3]], vs[f.v[1]]));
        if (d13 < d02) {
            triangles.push_back({f.v[0], f.v[1], f.v[3]});
            triangles.push_back({f.v[1], f.v[2], f.v[3]});
        } else {
            triangles.push_back({f.v[0], f.v[1], f.v[2]});
            triangles.push_back({f.v[0], f.v[2], f.v[3]});
        }
    }
    if (triangles.size() > UINT32_MAX) {
        error = "too many triangles for an STL file";
        return false;
    }
    std::vector<unsigned char> out(84, 0);
    const char header[] = "Lumovar binary STL";
    std::memcpy(out.data(), header, sizeof header - 1);
    putU32(out.data() + 80, static_cast<std::uint32_t>(triangles.size()));
    for (const auto& tri : triangles) {
        const Vec3& a = m.vertices[tri[0]];
        const Vec3& b = m.vertices[tri[1]];
        const Vec3& c = m.vertices[tri[2]];
        Vec3 n = cross(sub(b, a), sub(c, a));
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
        if (out.size() >= (1u << 20)) {
            if (!file.write(out.data(), out.size(), error)) {
                return false;
            }
            out.clear();
        }
    }
    return file.write(out.data(), out.size(), error);
}

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ext = path.substr(dot + 1);
    for (char& ch : ext) {
        ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
    return ext;
}

} // namespace

IndexedMesh weldMesh(const Mesh& mesh, double tolerance) {
    Welder welder(mesh, tolerance < 0.0 ? kDefaultWeld : tolerance);
    return welder.build(mesh);
}

void orientOutward(IndexedMesh& mesh, const InsideFunction& inside) {
    if (!inside) {
        return;
    }
    const std::vector<bool> flips = outwardFlips(mesh, inside);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        if (flips[f]) {
            std::reverse(mesh.faces[f].v, mesh.faces[f].v + mesh.faces[f].count);
        }
    }
}

void orientOutward(Mesh& mesh, const InsideFunction& inside) {
    if (!inside) {
        return;
    }
    const IndexedMesh welded = weldMesh(mesh);
    const std::vector<bool> flips = outwardFlips(welded, inside);
    std::vector<bool> covered(mesh.polygons.size(), false);
    for (std::size_t f = 0; f < welded.faces.size(); ++f) {
        MeshPolygon& p = mesh.polygons[welded.faces[f].polygon];
        covered[welded.faces[f].polygon] = true;
        if (flips[f]) {
            std::reverse(p.v, p.v + p.count);
        }
    }
    // Polygons that welding dropped (degenerate ones) are judged on their own.
    for (std::size_t i = 0; i < mesh.polygons.size(); ++i) {
        if (!covered[i] && outwardSign(mesh.polygons[i], inside) < 0) {
            std::reverse(mesh.polygons[i].v, mesh.polygons[i].v + mesh.polygons[i].count);
        }
    }
}

MeshFormat meshFormatFromPath(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "poly") return MeshFormat::Poly;
    if (ext == "stl") return MeshFormat::Stl;
    if (ext == "obj") return MeshFormat::Obj;
    if (ext == "ply") return MeshFormat::Ply;
    if (ext == "wrl") return MeshFormat::Wrl;
    return MeshFormat::Unknown;
}

bool writeMeshFile(const std::string& path, const Mesh& mesh, const MeshWriteOptions& options,
                   std::string& error) {
    const MeshFormat format = meshFormatFromPath(path);
    if (format == MeshFormat::Unknown) {
        error = "unknown mesh file type '" + path + "' (use .poly, .stl, .obj, .ply or .wrl)";
        return false;
    }
    ReplacingFile file;
    if (!file.open(path, error)) {
        return false;
    }
    bool ok = false;
    if (format == MeshFormat::Poly) {
        TextSink sink(file, error);
        ok = writePoly(sink, mesh);
    } else {
        IndexedMesh indexed = weldMesh(mesh, options.weld_tolerance);
        orientOutward(indexed, options.inside);
        TextSink sink(file, error);
        switch (format) {
        case MeshFormat::Stl: ok = writeStl(file, indexed, error); break;
        case MeshFormat::Obj: ok = writeObj(sink, indexed); break;
        case MeshFormat::Ply: ok = writePly(sink, indexed); break;
        case MeshFormat::Wrl:
            ok = writeWrl(sink, indexed, options.color, bool(options.inside));
            break;
        default: break;
        }
    }
    return ok && file.commit(error);
}

} // namespace lv::exporter
