#include "export/mesh_orient.h"

#include <algorithm>
#include <cmath>

namespace lv::exporter {

namespace {

// +1 when the face's normal points outward, -1 inward, 0 undecided.
int outwardSign(const IndexedMesh& mesh, const IndexedMesh::Face& face, InsideFn inside) {
    const Vec3 raw = faceNormal(mesh, face);
    const double len = length(raw);
    if (!(len > 0.0) || !std::isfinite(len)) {
        return 0;
    }
    const Vec3 n{raw.x / len, raw.y / len, raw.z / len};
    Vec3 c;
    double longest = 0.0;
    for (int i = 0; i < face.count; ++i) {
        const Vec3& a = mesh.vertices[face.v[i]];
        const Vec3& b = mesh.vertices[face.v[(i + 1) % face.count]];
        c = {c.x + a.x / face.count, c.y + a.y / face.count, c.z + a.z / face.count};
        longest = std::max(longest, length(b - a));
    }
    for (double scale : {0.1, 0.5, 0.02}) {
        const double h = scale * longest;
        const float plus =
            inside(static_cast<float>(c.x + h * n.x), static_cast<float>(c.y + h * n.y),
                   static_cast<float>(c.z + h * n.z));
        const float minus =
            inside(static_cast<float>(c.x - h * n.x), static_cast<float>(c.y - h * n.y),
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

// The one face other than f on the edge a-b with its direction there, or UINT32_MAX when the
// edge has not exactly two faces.
std::uint32_t neighbourAcross(const IndexedMesh& mesh, const VertexFaces& around, std::uint32_t f,
                              std::uint32_t a, std::uint32_t b, int& direction) {
    std::uint32_t other = UINT32_MAX;
    int found = 0;
    for (std::uint32_t k = around.first[a]; k < around.first[a + 1]; ++k) {
        const std::uint32_t g = around.faces[k];
        if (const int d = edgeDirection(mesh.faces[g], a, b)) {
            ++found;
            if (g != f) {
                other = g;
                direction = d;
            }
        }
    }
    return found == 2 ? other : UINT32_MAX;
}

// Whether a face other than f runs a-v-b or b-v-a (v between a and b).
bool foldedAt(const IndexedMesh& mesh, const VertexFaces& around, std::uint32_t f, std::uint32_t a,
              std::uint32_t v, std::uint32_t b) {
    for (std::uint32_t k = around.first[v]; k < around.first[v + 1]; ++k) {
        const std::uint32_t g = around.faces[k];
        if (g != f && edgeDirection(mesh.faces[g], a, v) != 0 &&
            edgeDirection(mesh.faces[g], v, b) != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

Vec3 faceNormal(const IndexedMesh& mesh, const IndexedMesh::Face& face) {
    return geom::newellNormal(face.count, [&](int i) { return mesh.vertices[face.v[i]]; });
}

void orientOutward(IndexedMesh& mesh, const VertexFaces& around, InsideFn inside) {
    constexpr std::size_t kVotes = 32;
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
            const IndexedMesh::Face& face = mesh.faces[f];
            for (int i = 0; i < face.count; ++i) {
                const std::uint32_t a = face.v[i], b = face.v[(i + 1) % face.count];
                int direction = 0;
                const std::uint32_t g = neighbourAcross(mesh, around, f, a, b, direction);
                if (g != UINT32_MAX && flip[g] < 0) {
                    // Consistent neighbours run their shared edge in opposite directions.
                    flip[g] = static_cast<signed char>(flip[f] ^ (direction == 1));
                    patch.push_back(g);
                }
            }
        }
        double vote = 0.0;
        const std::size_t stride = (patch.size() + kVotes - 1) / kVotes;
        for (std::size_t k = 0; inside && k < patch.size(); k += stride) {
            const IndexedMesh::Face& face = mesh.faces[patch[k]];
            const double weight = length(faceNormal(mesh, face));
            vote += (flip[patch[k]] ? -weight : weight) * outwardSign(mesh, face, inside);
        }
        const bool reverse = vote < 0.0;
        for (std::uint32_t f : patch) {
            if ((flip[f] != 0) != reverse) {
                IndexedMesh::Face& face = mesh.faces[f];
                std::reverse(face.v, face.v + face.count);
            }
        }
    }
}

void chooseDiagonals(IndexedMesh& mesh, const VertexFaces& around) {
    for (std::uint32_t f = 0; f < mesh.faces.size(); ++f) {
        IndexedMesh::Face& q = mesh.faces[f];
        if (q.count != 4) {
            continue;
        }
        // The split along 0-2 cuts off vertices 1 and 3, the split along 1-3 vertices 0 and 2.
        auto cuts = [&](int i) {
            return foldedAt(mesh, around, f, q.v[(i + 3) % 4], q.v[i], q.v[(i + 1) % 4]);
        };
        bool alongOneThree;
        if (cuts(1) || cuts(3)) {
            alongOneThree = true;
        } else if (cuts(0) || cuts(2)) {
            alongOneThree = false;
        } else {
            const Vec3 &a = mesh.vertices[q.v[0]], &b = mesh.vertices[q.v[1]];
            const Vec3 &c = mesh.vertices[q.v[2]], &d = mesh.vertices[q.v[3]];
            alongOneThree = length(d - b) < length(c - a);
        }
        if (alongOneThree) {
            std::rotate(q.v, q.v + 1, q.v + 4);
        }
    }
}

} // namespace lv::exporter
