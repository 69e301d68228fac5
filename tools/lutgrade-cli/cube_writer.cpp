#include "cube_writer.h"

#include <cstdio>

namespace lutcli {

bool write_cube_file(const std::string& path, const std::vector<float>& table, int edge,
                     std::string& error) {
    const std::string partial = path + ".part";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f) {
        error = "cannot write " + partial;
        return false;
    }
    std::fprintf(f, "# Written by lutgrade-cli\nLUT_3D_SIZE %d\n", edge);
    // Six decimals: a millionth is far below a code value at any bit depth in use.
    for (std::size_t e = 0; e + 2 < table.size(); e += 3)
        std::fprintf(f, "%.6f %.6f %.6f\n", table[e], table[e + 1], table[e + 2]);
    const bool written = !std::ferror(f);
    if (std::fclose(f) != 0 || !written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace lutcli
