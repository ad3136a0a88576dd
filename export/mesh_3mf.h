#pragma once
// The 3MF writer of writeMeshFile, kept apart because it alone needs the 3MF library.
#include <string>
#include <vector>

#include "export/mesh_files.h"
#include "export/replacing_file.h"

namespace lv::exporter {

// Writes one 3MF package of parts (one mesh object each, with its name and its colour as a base
// material; quadrilaterals split along 0-2) into file. False with error set.
bool write3mf(ReplacingFile& file, const std::vector<MeshPart>& parts, std::string& error);

} // namespace lv::exporter
