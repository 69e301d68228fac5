// Saves a colour table as a .cube file that other grading tools read.
#pragma once

#include <string>
#include <vector>

namespace lutcli {

// table: edge^3 entries of R, G, B (1.0 full scale), red fastest. Written under a
// temporary name and renamed when complete; false with a message otherwise.
bool write_cube_file(const std::string& path, const std::vector<float>& table, int edge,
                     std::string& error);

}  // namespace lutcli
