#pragma once

#include <string>

namespace orva {

// Joins a folder and a file name with one "/" (none added when the folder already ends in one).
std::string joinPath(const std::string& folder, const std::string& name);

// The full path with the extension of its last component replaced by `extension` (which
// starts with "."); a path without extension gets it appended: "/opt/orva" -> "/opt/orva.adr".
std::string replaceExtension(const std::string& path, const std::string& extension);

// The last component of a path.
std::string fileName(const std::string& path);

// The folder of a path: "." for a bare name, "/" for a name in the root.
std::string folderOf(const std::string& path);

} // namespace orva
