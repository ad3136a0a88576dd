#include "export/grid_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "lang/rounding.h"

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

VertexFaces::VertexFaces(const IndexedMesh& mesh) : first(mesh.vertices.size() + 1, 0) {
    for (const IndexedMesh::Face& f : mesh.faces) {
        for (int i = 0; i < f.count; ++i) {
            ++first[f.v[i] + 1];
        }
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    faces.resize(first.back());
    std::vector<std::uint32_t> at(first.begin(), first.end() - 1);
    for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
        const IndexedMesh::Face& face = mesh.faces[f];
        for (int i = 0; i < face.count; ++i) {
            faces[at[face.v[i]]++] = f;
        }
    }
}

int edgeDirection(const IndexedMesh::Face& f, std::uint32_t a, std::uint32_t b) {
    for (int i = 0; i < f.count; ++i) {
        const std::uint32_t u = f.v[i], w = f.v[(i + 1) % f.count];
        if (u == a && w == b) {
            return 1;
        }
        if (u == b && w == a) {
            return -1;
        }
    }
    return 0;
}

namespace {

// Faces around vertex a that have the edge a-b, in either direction.
template <class Visit>
void facesOnEdge(const IndexedMesh& mesh, const VertexFaces& around, std::uint32_t a,
                 std::uint32_t b, Visit&& visit) {
    for (std::uint32_t k = around.first[a]; k < around.first[a + 1]; ++k) {
        const std::uint32_t g = around.faces[k];
        if (const int d = edgeDirection(mesh.faces[g], a, b)) {
            visit(g, d);
        }
    }
}

std::size_t countFacesOnEdge(const IndexedMesh& mesh, const VertexFaces& around, std::uint32_t a,
                             std::uint32_t b) {
    std::size_t n = 0;
    facesOnEdge(mesh, around, a, b, [&n](std::uint32_t, int) { ++n; });
    return n;
}

} // namespace

std::size_t nonManifoldEdges(const IndexedMesh& mesh, const VertexFaces& around) {
    std::size_t bad = 0;
    for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
        const IndexedMesh::Face& face = mesh.faces[f];
        for (int i = 0; i < face.count; ++i) {
            const std::uint32_t a = face.v[i], b = face.v[(i + 1) % face.count];
            std::uint32_t firstFace = UINT32_MAX;
            std::size_t n = 0;
            facesOnEdge(mesh, around, a, b, [&](std::uint32_t g, int) {
                firstFace = std::min(firstFace, g);
                ++n;
            });
            // Count each edge once: at the lowest-numbered face that has it.
            if (n != 2 && firstFace == f) {
                ++bad;
            }
        }
    }
    return bad;
}

namespace {

// Two vertices closer than this in every coordinate are one (model units): the polygonizer's
// own duplicate distance.
constexpr double kSameVertex = 0.001;
// Keys of points that lie on no grid edge carry this bit over a hash of their coordinates.
constexpr std::uint64_t kPointKey = 1ull << 62;

std::uint64_t mix(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdull;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ull;
    return k ^ (k >> 33);
}

std::uint64_t bitsOf(double v) {
    if (v == 0.0) {
        v = 0.0; // -0 and +0 are the same point
    }
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The index of v among the grid positions p, or -1 when v is none of them.
int gridIndex(const std::vector<double>& p, double step, double v) {
    const int n = static_cast<int>(p.size()) - 1;
    if (!(step > 0.0)) {
        return p[0] == v ? 0 : -1;
    }
    const double r = lang::nearestWhole((v - p[0]) / step);
    if (!(r >= -1.0 && r <= n + 1.0)) {
        return -1;
    }
    const int k = static_cast<int>(r);
    for (int j = std::max(0, k - 1); j <= std::min(n, k + 1); ++j) {
        if (p[j] == v) {
            return j;
        }
    }
    return -1;
}

// The cell j with p[j] < v < p[j + 1], or -1.
int cellIndex(const std::vector<double>& p, double step, double v) {
    const int n = static_cast<int>(p.size()) - 1;
    if (!(step > 0.0)) {
        return -1;
    }
    const double r = std::floor((v - p[0]) / step);
    if (!(r >= -1.0 && r <= n)) {
        return -1;
    }
    int k = std::clamp(static_cast<int>(r), 0, n - 1);
    if (p[k] >= v && k > 0) {
        --k;
    } else if (p[k + 1] <= v && k < n - 1) {
        ++k;
    }
    return p[k] < v && v < p[k + 1] ? k : -1;
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

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

bool sameVertexSet(const IndexedMesh::Face& a, const IndexedMesh::Face& b) {
    if (a.count != b.count) {
        return false;
    }
    for (int i = 0; i < a.count; ++i) {
        if (std::find(b.v, b.v + b.count, a.v[i]) == b.v + b.count) {
            return false;
        }
    }
    return true;
}

// Keeps the faces not marked, in order.
void keepFaces(IndexedMesh& mesh, const std::vector<bool>& drop) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        if (!drop[i]) {
            mesh.faces[kept++] = mesh.faces[i];
        }
    }
    mesh.faces.resize(kept);
}

// Faces over the same vertex set come in pairs where joining folded a thin strip onto itself;
// each pair bounds nothing, so both go. Returns how many faces went.
std::size_t dropFacePairs(IndexedMesh& mesh) {
    const VertexFaces around(mesh);
    std::vector<bool> drop(mesh.faces.size(), false);
    std::size_t dropped = 0;
    for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
        if (drop[f]) {
            continue;
        }
        const IndexedMesh::Face& face = mesh.faces[f];
        const std::uint32_t v = face.v[0];
        for (std::uint32_t k = around.first[v]; k < around.first[v + 1]; ++k) {
            const std::uint32_t g = around.faces[k];
            if (g > f && !drop[g] && sameVertexSet(face, mesh.faces[g])) {
                drop[f] = drop[g] = true;
                dropped += 2;
                break;
            }
        }
    }
    if (dropped > 0) {
        keepFaces(mesh, drop);
    }
    return dropped;
}

// Renumbers the vertices that faces use, in order of first use, and forgets the others.
void dropUnusedVertices(IndexedMesh& mesh) {
    std::vector<std::uint32_t> number(mesh.vertices.size(), UINT32_MAX);
    std::uint32_t next = 0;
    for (IndexedMesh::Face& face : mesh.faces) {
        for (int i = 0; i < face.count; ++i) {
            std::uint32_t& n = number[face.v[i]];
            if (n == UINT32_MAX) {
                n = next++;
            }
            face.v[i] = n;
        }
    }
    std::vector<Vec3> kept(next);
    for (std::size_t v = 0; v < number.size(); ++v) {
        if (number[v] != UINT32_MAX) {
            kept[number[v]] = mesh.vertices[v];
        }
    }
    mesh.vertices = std::move(kept);
}

// Joins the loop of two faces that share the edge x-y (f runs x -> y, g runs y -> x) and splits
// it again along another diagonal that is no edge yet. False when no such split exists.
bool resplit(IndexedMesh& mesh, const VertexFaces& around, std::uint32_t f, std::uint32_t g,
             std::uint32_t x, std::uint32_t y) {
    IndexedMesh::Face& a = mesh.faces[f];
    IndexedMesh::Face& b = mesh.faces[g];
    int i = 0, j = 0;
    while (a.v[i] != x)
        ++i;
    while (b.v[j] != y)
        ++j;
    std::uint32_t loop[8];
    int n = 0;
    for (int k = 1; k <= a.count; ++k) {
        loop[n++] = a.v[(i + k) % a.count]; // y ... x
    }
    const int oldEnd = n - 1; // the old diagonal joins loop[0] and loop[oldEnd]
    for (int k = 2; k < b.count; ++k) {
        loop[n++] = b.v[(j + k) % b.count];
    }
    for (int p = 0; p < n; ++p) {
        for (int q = p + 1; q < n; ++q) {
            if (loop[p] == loop[q]) {
                return false;
            }
        }
    }
    if (n == 4) {
        a.count = 4;
        std::copy(loop, loop + 4, a.v);
        b.count = 0; // dropped by the caller
        return true;
    }
    if (n != 5 && n != 6) {
        return false;
    }
    const int span = n == 6 ? 3 : 2;
    for (int p = 0; p < n; ++p) {
        const int q = (p + span) % n;
        if ((p == 0 && q == oldEnd) || (q == 0 && p == oldEnd) ||
            countFacesOnEdge(mesh, around, loop[p], loop[q]) > 0) {
            continue;
        }
        IndexedMesh::Face first = a, second = b;
        first.count = span + 1;
        for (int k = 0; k <= span; ++k) {
            first.v[k] = loop[(p + k) % n];
        }
        second.count = n - span + 1;
        for (int k = 0; k < second.count; ++k) {
            second.v[k] = loop[(q + k) % n];
        }
        a = first;
        b = second;
        return true;
    }
    return false;
}

// Frees edges shared by four faces where each cell cut its loop into a fan along that edge:
// the faces of one cell's fan are consecutive polygons that meet at the edge in opposite
// directions. Returns the number of faces changed.
std::size_t resplitSharedFanEdges(IndexedMesh& mesh) {
    std::size_t changed = 0;
    for (int round = 0; round < 4; ++round) {
        const VertexFaces around(mesh);
        std::vector<bool> touched(mesh.faces.size(), false);
        bool any = false;
        for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
            for (int i = 0; i < mesh.faces[f].count && !touched[f]; ++i) {
                const IndexedMesh::Face& face = mesh.faces[f];
                const std::uint32_t x = face.v[i], y = face.v[(i + 1) % face.count];
                std::uint32_t on[8];
                int n = 0;
                facesOnEdge(mesh, around, x, y, [&](std::uint32_t g, int) {
                    if (n < 8)
                        on[n++] = g;
                });
                if (n <= 2) {
                    continue;
                }
                for (int k = 0; k < n && !touched[f]; ++k) {
                    const std::uint32_t g = on[k];
                    if (g == f || touched[g] ||
                        (mesh.faces[g].polygon != face.polygon + 1 &&
                         face.polygon != mesh.faces[g].polygon + 1) ||
                        edgeDirection(mesh.faces[g], y, x) != 1) {
                        continue;
                    }
                    if (resplit(mesh, around, f, g, x, y)) {
                        touched[f] = touched[g] = true;
                        changed += 2;
                        any = true;
                    }
                }
            }
        }
        if (!any) {
            break;
        }
        std::vector<bool> drop(mesh.faces.size(), false);
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            drop[f] = mesh.faces[f].count == 0;
        }
        keepFaces(mesh, drop);
    }
    return changed;
}

} // namespace

GridWelder::GridWelder(const MeshGrid& grid) : grid_(grid) {
    const double lo[3] = {grid.xmin, grid.ymin, grid.zmin};
    const double hi[3] = {grid.xmax, grid.ymax, grid.zmax};
    const int n[3] = {grid.nx, grid.ny, grid.nz};
    for (int a = 0; a < 3; ++a) {
        const int cells = std::max(n[a], 1);
        step_[a] = (hi[a] - lo[a]) / cells;
        // The same accumulation as the polygonizer's: positions are bit-identical to its own.
        double p = lo[a];
        pos_[a].resize(static_cast<std::size_t>(cells) + 1);
        for (double& v : pos_[a]) {
            v = p;
            p += step_[a];
        }
    }
    keys_.assign(1024, 0);
    values_.assign(1024, 0);
}

std::size_t GridWelder::bytes() const {
    return keys_.capacity() * sizeof(std::uint64_t) + values_.capacity() * sizeof(std::uint32_t) +
           mesh_.faces.capacity() * sizeof(IndexedMesh::Face) +
           mesh_.vertices.capacity() * sizeof(Vec3) +
           nearCorner_.capacity() * sizeof(nearCorner_[0]);
}

std::uint64_t GridWelder::keyOf(double x, double y, double z, bool& nearCorner,
                                std::uint64_t& corner) {
    const double v[3] = {x, y, z};
    int g[3];
    int free = -1, onGrid = 0;
    for (int a = 0; a < 3; ++a) {
        g[a] = gridIndex(pos_[a], step_[a], v[a]);
        if (g[a] >= 0) {
            ++onGrid;
        } else {
            free = a;
        }
    }
    const std::uint64_t nx = pos_[0].size(), ny = pos_[1].size(), nz = pos_[2].size();
    auto point = [&](const int* c) {
        return (static_cast<std::uint64_t>(c[2]) * ny + static_cast<std::uint64_t>(c[1])) * nx +
               static_cast<std::uint64_t>(c[0]);
    };
    int axis = 3;
    nearCorner = false;
    if (onGrid == 2) {
        const int cell = cellIndex(pos_[free], step_[free], v[free]);
        if (cell >= 0) {
            axis = free;
            g[free] = cell;
            int c[3] = {g[0], g[1], g[2]};
            if (v[free] - pos_[free][cell] < kSameVertex) {
                nearCorner = true;
            } else if (pos_[free][cell + 1] - v[free] < kSameVertex) {
                nearCorner = true;
                c[free] = cell + 1;
            }
            corner = point(c);
        } else {
            onGrid = 0;
        }
    } else if (onGrid == 3) {
        nearCorner = true;
        corner = point(g);
    }
    if (onGrid < 2) {
        std::uint64_t h = mix(bitsOf(x));
        h = mix(h ^ bitsOf(y));
        h = mix(h ^ bitsOf(z));
        return kPointKey | (h & (kPointKey - 1));
    }
    return static_cast<std::uint64_t>(axis) * nz * ny * nx + point(g);
}

void GridWelder::grow() {
    std::vector<std::uint64_t> keys(keys_.size() * 2, 0);
    std::vector<std::uint32_t> values(keys.size(), 0);
    const std::size_t mask = keys.size() - 1;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] != 0) {
            std::size_t h = mix(keys_[i] - 1) & mask;
            while (keys[h] != 0) {
                h = (h + 1) & mask;
            }
            keys[h] = keys_[i];
            values[h] = values_[i];
        }
    }
    peak_ = std::max(peak_, bytes() + keys.size() * 12);
    keys_ = std::move(keys);
    values_ = std::move(values);
}

std::uint32_t GridWelder::lookup(std::uint64_t key, double x, double y, double z) {
    if (2 * (used_ + 1) > keys_.size()) {
        grow();
    }
    const std::size_t mask = keys_.size() - 1;
    for (std::size_t h = mix(key) & mask;; h = (h + 1) & mask) {
        if (keys_[h] == 0) {
            keys_[h] = key + 1;
            values_[h] = static_cast<std::uint32_t>(mesh_.vertices.size());
            ++used_;
            mesh_.vertices.push_back({x, y, z});
            return values_[h];
        }
        if (keys_[h] == key + 1) {
            if ((key & kPointKey) == 0) {
                return values_[h];
            }
            const Vec3& p = mesh_.vertices[values_[h]];
            if (bitsOf(p.x) == bitsOf(x) && bitsOf(p.y) == bitsOf(y) && bitsOf(p.z) == bitsOf(z)) {
                return values_[h];
            }
        }
    }
}

std::uint32_t GridWelder::vertexOf(double x, double y, double z) {
    bool near = false;
    std::uint64_t corner = 0;
    const std::uint64_t key = keyOf(x, y, z, near, corner);
    const std::size_t before = mesh_.vertices.size();
    const std::uint32_t v = lookup(key, x, y, z);
    if (near && mesh_.vertices.size() > before) {
        nearCorner_.push_back({corner, v});
    }
    return v;
}

void GridWelder::operator()(const double* xs, const double* ys, const double* zs, int count) {
    if (count != 3 && count != 4) {
        return;
    }
    IndexedMesh::Face face;
    face.count = count;
    face.polygon = static_cast<std::uint32_t>(polygons_++);
    for (int i = 0; i < count; ++i) {
        face.v[i] = vertexOf(xs[i], ys[i], zs[i]);
    }
    if (cleanFace(face)) {
        const std::size_t capacity = mesh_.faces.capacity();
        mesh_.faces.push_back(face);
        if (mesh_.faces.capacity() != capacity) {
            peak_ = std::max(peak_, bytes() + capacity * sizeof(IndexedMesh::Face));
        }
    }
}

IndexedMesh GridWelder::finish(GridWeldStats* stats) {
    peak_ = std::max(peak_, bytes());
    keys_ = {};
    values_ = {};
    used_ = 0;
    GridWeldStats s;
    s.polygons = polygons_;
    const std::size_t emitted = mesh_.faces.size();

    // Join crossings within the duplicate distance of each other around each grid corner.
    std::sort(nearCorner_.begin(), nearCorner_.end());
    std::vector<std::uint32_t> parent;
    for (std::size_t i = 0; i < nearCorner_.size();) {
        std::size_t j = i;
        while (j < nearCorner_.size() && nearCorner_[j].first == nearCorner_[i].first) {
            ++j;
        }
        for (std::size_t p = i; p < j; ++p) {
            for (std::size_t q = p + 1; q < j; ++q) {
                const Vec3& a = mesh_.vertices[nearCorner_[p].second];
                const Vec3& b = mesh_.vertices[nearCorner_[q].second];
                if (std::fabs(a.x - b.x) < kSameVertex && std::fabs(a.y - b.y) < kSameVertex &&
                    std::fabs(a.z - b.z) < kSameVertex) {
                    if (parent.empty()) {
                        parent.resize(mesh_.vertices.size());
                        std::iota(parent.begin(), parent.end(), 0u);
                    }
                    const std::uint32_t ra = findRoot(parent, nearCorner_[p].second);
                    const std::uint32_t rb = findRoot(parent, nearCorner_[q].second);
                    if (ra != rb) {
                        parent[std::max(ra, rb)] = std::min(ra, rb);
                        ++s.joinedVertices;
                    }
                }
            }
        }
        i = j;
    }
    nearCorner_ = {};
    if (!parent.empty()) {
        std::size_t kept = 0;
        for (IndexedMesh::Face face : mesh_.faces) {
            for (int i = 0; i < face.count; ++i) {
                face.v[i] = findRoot(parent, face.v[i]);
            }
            if (cleanFace(face)) {
                mesh_.faces[kept++] = face;
            }
        }
        mesh_.faces.resize(kept);
        parent = {};
    }
    dropFacePairs(mesh_);
    s.droppedFaces = emitted - mesh_.faces.size();
    dropUnusedVertices(mesh_);
    s.resplitFaces = resplitSharedFanEdges(mesh_);
    s.peakBytes = peak_;
    if (stats) {
        *stats = s;
    }
    polygons_ = 0;
    peak_ = 0;
    IndexedMesh out = std::move(mesh_);
    mesh_ = {};
    return out;
}

} // namespace lv::exporter
