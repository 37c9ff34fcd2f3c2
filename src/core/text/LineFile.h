#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

// Splits text into lines: CR, LF and CR LF are one break each; a NUL ends the text; a break
// at the very end starts no further line.
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by CR LF, the last one too.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

// Whole file as bytes. Throws FileError naming the path when it cannot be read.
std::string readFileBytes(const std::string& path);

// readFileBytes then splitLines.
std::vector<std::string> readLinesFile(const std::string& path);

// Replaces the file whole and atomically: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary file is renamed over the target. On any
// failure the old file is left as it was and FileError is thrown.
void writeFileAtomic(const std::string& path, std::string_view bytes);

// writeFileAtomic of joinLinesCrLf.
void writeLinesFile(const std::string& path, const std::vector<std::string>& lines);

} // namespace orva
