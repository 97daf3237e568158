#pragma once
// State files: the plug-in's chunk bytes as they are, read and written whole.
#include <string>
#include <vector>

namespace orvhost {

// Largest state file taken: far above any real bank chunk, small enough to hold in memory.
constexpr std::size_t kMaxStateFileBytes = 64u << 20;

// Reads a state file. False with a one-line reason when it cannot be read, is empty, is not a
// regular file or is larger than kMaxStateFileBytes.
bool readStateFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

// Writes a state file by the output rule of output_file.h.
bool writeStateFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

}  // namespace orvhost
