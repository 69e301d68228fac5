#include "delta/DeltaFiles.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"

namespace fs = std::filesystem;

namespace delta {

bool readWholeFile(const fs::path& file, uint64_t limit, std::string& bytes) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    if (ec || size > limit) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && bytes.size() == size;
}

bool writeWholeFile(const fs::path& file, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

std::string sha256Of(const std::string& bytes) {
    return Orvalen::sha256Hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace delta
