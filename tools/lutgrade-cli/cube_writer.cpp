#include "cube_writer.h"

#include <cstdio>

namespace lutcli {

bool write_cube_file(const std::string& path, const std::vector<std::uint8_t>& table, int edge,
                     std::string& error) {
    const std::string partial = path + ".part";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f) {
        error = "cannot write " + partial;
        return false;
    }
    std::fprintf(f, "# Written by lutgrade-cli\nLUT_3D_SIZE %d\n", edge);
    // Six decimals bring every byte back exactly: |error| * 255 stays far below 0.5.
    for (std::size_t e = 0; e + 3 < table.size(); e += 4)
        std::fprintf(f, "%.6f %.6f %.6f\n", table[e] / 255.0, table[e + 1] / 255.0,
                     table[e + 2] / 255.0);
    const bool written = !std::ferror(f);
    if (std::fclose(f) != 0 || !written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace lutcli
