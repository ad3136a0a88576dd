#pragma once
// The tests' own readers of the mesh files we write (binary STL, OBJ, PLY, 3MF), independent of
// the writers, and the checks run on what they read: every file becomes triangles over shared
// vertices (quadrilaterals split from their first vertex, as many readers do).
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace meshtest {

struct Point {
    double x = 0, y = 0, z = 0;
};

struct Soup {
    std::vector<Point> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::vector<std::string> names;             // objects or groups, in file order
    std::vector<std::array<int, 3>> colors;     // per object (OBJ: per material)
    std::vector<std::array<int, 3>> faceColors; // PLY: per triangle
};

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Splits an n-gon of indices from its first vertex.
inline void addPolygon(Soup& s, const std::vector<std::uint32_t>& idx) {
    for (std::size_t i = 1; i + 1 < idx.size(); ++i) {
        s.triangles.push_back({idx[0], idx[i], idx[i + 1]});
    }
}

// Binary STL: corners are joined when their floats are equal.
inline bool readStl(const std::string& data, Soup& s) {
    if (data.size() < 84)
        return false;
    std::uint32_t n;
    std::memcpy(&n, data.data() + 80, 4);
    if (data.size() != 84 + 50ull * n)
        return false;
    std::map<std::array<float, 3>, std::uint32_t> ids;
    for (std::uint32_t t = 0; t < n; ++t) {
        float v[12];
        std::memcpy(v, data.data() + 84 + 50ull * t, sizeof v);
        std::array<std::uint32_t, 3> tri{};
        for (int k = 0; k < 3; ++k) {
            const std::array<float, 3> key{v[3 + 3 * k], v[4 + 3 * k], v[5 + 3 * k]};
            const auto [it, inserted] = ids.try_emplace(key, std::uint32_t(s.points.size()));
            if (inserted)
                s.points.push_back({key[0], key[1], key[2]});
            tri[k] = it->second;
        }
        s.triangles.push_back(tri);
    }
    return true;
}

inline bool readObj(const std::string& text, Soup& s) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string tag;
        f >> tag;
        if (tag == "v") {
            Point p;
            if (!(f >> p.x >> p.y >> p.z))
                return false;
            s.points.push_back(p);
        } else if (tag == "f") {
            std::vector<std::uint32_t> idx;
            long k;
            while (f >> k) {
                if (k < 1 || k > static_cast<long>(s.points.size()))
                    return false;
                idx.push_back(static_cast<std::uint32_t>(k - 1));
            }
            if (idx.size() < 3)
                return false;
            addPolygon(s, idx);
        } else if (tag == "o") {
            std::string name;
            f >> name;
            s.names.push_back(name);
        }
    }
    return true;
}

// Materials of a .mtl file: name -> Kd as 0..255.
inline std::map<std::string, std::array<int, 3>> readMtl(const std::string& text) {
    std::map<std::string, std::array<int, 3>> out;
    std::istringstream in(text);
    std::string line, current;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string tag;
        f >> tag;
        if (tag == "newmtl") {
            f >> current;
        } else if (tag == "Kd") {
            double r, g, b;
            f >> r >> g >> b;
            out[current] = {int(std::lround(r * 255)), int(std::lround(g * 255)),
                            int(std::lround(b * 255))};
        }
    }
    return out;
}

// ASCII PLY with double x, y, z and faces with an optional uchar red, green, blue.
inline bool readPly(const std::string& text, Soup& s) {
    std::istringstream in(text);
    std::string line;
    std::size_t nv = 0, nf = 0;
    bool colors = false;
    if (!std::getline(in, line) || line != "ply")
        return false;
    while (std::getline(in, line) && line != "end_header") {
        std::sscanf(line.c_str(), "element vertex %zu", &nv);
        std::sscanf(line.c_str(), "element face %zu", &nf);
        colors |= line == "property uchar red";
    }
    for (std::size_t i = 0; i < nv; ++i) {
        Point p;
        if (!(in >> p.x >> p.y >> p.z))
            return false;
        s.points.push_back(p);
    }
    for (std::size_t i = 0; i < nf; ++i) {
        int n;
        if (!(in >> n) || n < 3)
            return false;
        std::vector<std::uint32_t> idx(static_cast<std::size_t>(n));
        for (auto& k : idx) {
            if (!(in >> k) || k >= nv)
                return false;
        }
        const std::size_t before = s.triangles.size();
        addPolygon(s, idx);
        std::array<int, 3> c{-1, -1, -1};
        if (colors && !(in >> c[0] >> c[1] >> c[2]))
            return false;
        s.faceColors.resize(s.triangles.size(), c);
        (void)before;
    }
    std::string rest;
    return !(in >> rest);
}

// A stored or deflated member of a ZIP archive, found through its central directory; "" when
// missing or unreadable.
inline std::string unzipMember(const std::string& zip, const std::string& name) {
    auto u16 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(zip[at])) | std::uint32_t(std::uint8_t(zip[at + 1])) << 8;
    };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (zip.size() < 22)
        return "";
    std::size_t end = zip.size() - 22;
    while (end > 0 && u32(end) != 0x06054b50)
        --end;
    if (u32(end) != 0x06054b50)
        return "";
    auto u64 = [&](std::size_t at) {
        return std::uint64_t(u32(at)) | std::uint64_t(u32(at + 4)) << 32;
    };
    std::uint64_t entries = u16(end + 10), at = u32(end + 16);
    if (at == 0xFFFFFFFFu && end >= 20 && u32(end - 20) == 0x07064b50) { // ZIP64
        const std::uint64_t z64 = u64(end - 12);
        if (z64 + 56 > zip.size() || u32(z64) != 0x06064b50)
            return "";
        entries = u64(z64 + 32);
        at = u64(z64 + 48);
    }
    for (std::uint64_t e = 0; e < entries && at + 46 <= zip.size() && u32(at) == 0x02014b50; ++e) {
        const std::uint32_t method = u16(at + 10);
        std::uint64_t packed = u32(at + 20), size = u32(at + 24), local = u32(at + 42);
        const std::uint32_t nameLength = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32);
        // ZIP64 sizes and offset stand in the extra field for the values marked 0xFFFFFFFF.
        for (std::uint64_t x = at + 46 + nameLength; x + 4 <= at + 46 + nameLength + extra;
             x += 4 + u16(x + 2)) {
            if (u16(x) == 1) {
                std::uint64_t y = x + 4;
                for (std::uint64_t* v : {&size, &packed, &local}) {
                    if (*v == 0xFFFFFFFFu) {
                        *v = u64(y);
                        y += 8;
                    }
                }
            }
        }
        if (zip.compare(at + 46, nameLength, name) == 0 && nameLength == name.size()) {
            if (local + 30 > zip.size())
                return "";
            const std::size_t data = local + 30 + u16(local + 26) + u16(local + 28);
            if (data + packed > zip.size())
                return "";
            if (method == 0)
                return zip.substr(data, packed);
            if (method != 8)
                return "";
            std::string out(size, '\0');
            z_stream z{};
            if (inflateInit2(&z, -15) != Z_OK)
                return "";
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
            z.avail_in = static_cast<uInt>(packed);
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(size);
            const int r = inflate(&z, Z_FINISH);
            inflateEnd(&z);
            return r == Z_STREAM_END ? out : "";
        }
        at += 46 + nameLength + extra + comment;
    }
    return "";
}

inline std::string attribute(const std::string& tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const std::size_t at = tag.find(key);
    if (at == std::string::npos)
        return "";
    const std::size_t end = tag.find('"', at + key.size());
    return tag.substr(at + key.size(), end - at - key.size());
}

// A 3MF package: each <object> with its name, vertices, triangles and base-material colour.
inline bool read3mf(const std::string& zip, Soup& s) {
    const std::string xml = unzipMember(zip, "3D/3dmodel.model");
    if (xml.empty())
        return false;
    std::vector<std::array<int, 3>> bases;
    for (std::size_t at = xml.find("<base "); at != std::string::npos;
         at = xml.find("<base ", at + 1)) {
        const std::string c = attribute(xml.substr(at, xml.find('>', at) - at), "displaycolor");
        unsigned r = 0, g = 0, b = 0;
        std::sscanf(c.c_str(), "#%2x%2x%2x", &r, &g, &b);
        bases.push_back({int(r), int(g), int(b)});
    }
    for (std::size_t at = xml.find("<object "); at != std::string::npos;
         at = xml.find("<object ", at + 1)) {
        const std::string head = xml.substr(at, xml.find('>', at) - at);
        s.names.push_back(attribute(head, "name"));
        const std::string pindex = attribute(head, "pindex");
        const std::size_t k = pindex.empty() ? bases.size() : std::stoul(pindex);
        s.colors.push_back(k < bases.size() ? bases[k] : std::array<int, 3>{-1, -1, -1});
        const std::size_t end = xml.find("</object>", at);
        const auto base = static_cast<std::uint32_t>(s.points.size());
        for (std::size_t v = xml.find("<vertex ", at); v < end; v = xml.find("<vertex ", v + 1)) {
            const std::string tag = xml.substr(v, xml.find('>', v) - v);
            s.points.push_back({std::stod(attribute(tag, "x")), std::stod(attribute(tag, "y")),
                                std::stod(attribute(tag, "z"))});
        }
        for (std::size_t t = xml.find("<triangle ", at); t < end;
             t = xml.find("<triangle ", t + 1)) {
            const std::string tag = xml.substr(t, xml.find('>', t) - t);
            const std::uint32_t a = std::stoul(attribute(tag, "v1")),
                                b = std::stoul(attribute(tag, "v2")),
                                c = std::stoul(attribute(tag, "v3"));
            if (base + std::max({a, b, c}) >= s.points.size())
                return false;
            s.triangles.push_back({base + a, base + b, base + c});
        }
    }
    return true;
}

struct Check {
    std::size_t badEdges = 0;     // undirected edges in other than two triangles
    std::size_t inconsistent = 0; // directed edges used twice or without their reverse
    std::size_t duplicates = 0;   // triangles over the same vertex set as an earlier one
    double volume = 0, area = 0;
};

inline Check check(const Soup& s) {
    Check c;
    std::unordered_map<std::uint64_t, int> directed;
    std::unordered_set<std::uint64_t> seen;
    auto pair = [](std::uint32_t a, std::uint32_t b) { return std::uint64_t(a) << 32 | b; };
    directed.reserve(3 * s.triangles.size());
    seen.reserve(s.triangles.size());
    for (const auto& t : s.triangles) {
        for (int i = 0; i < 3; ++i)
            ++directed[pair(t[i], t[(i + 1) % 3])];
        std::array<std::uint32_t, 3> key = t;
        std::sort(key.begin(), key.end());
        // Sorted vertex sets hashed to 64 bits: a set seen before is a duplicate triangle.
        c.duplicates += !seen.insert(pair(key[0], key[1]) * 0x9E3779B97F4A7C15ull ^ key[2]).second;
        const Point &a = s.points[t[0]], &b = s.points[t[1]], &d = s.points[t[2]];
        const Point u{b.x - a.x, b.y - a.y, b.z - a.z}, w{d.x - a.x, d.y - a.y, d.z - a.z};
        const Point n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
        c.area += 0.5 * std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        c.volume += (a.x * (b.y * d.z - b.z * d.y) - a.y * (b.x * d.z - b.z * d.x) +
                     a.z * (b.x * d.y - b.y * d.x)) /
                    6.0;
    }
    for (const auto& [e, n] : directed) {
        const std::uint32_t a = std::uint32_t(e >> 32), b = std::uint32_t(e);
        const auto back = directed.find(pair(b, a));
        const int m = back == directed.end() ? 0 : back->second;
        c.inconsistent += n != 1 || m != 1;
        if (a < b || m == 0)
            c.badEdges += n + m != 2;
    }
    return c;
}

} // namespace meshtest
