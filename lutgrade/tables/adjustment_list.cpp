#include "tables/adjustment_list.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/table_file_open.h"

namespace lutgrade {
namespace {

constexpr int kFields = 8;
// Room for the most entries with generous comments.
constexpr std::size_t kMaxFileBytes = 4u << 20;

std::vector<std::string> fields_of(std::string line) {
    const std::size_t comment = line.find('#');
    if (comment != std::string::npos) line.erase(comment);
    for (char& c : line)
        if (c == ',' || c == '\t' || c == '\r') c = ' ';
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
}

bool to_float(const std::string& text, float& v) {
    char* end = nullptr;
    errno = 0;
    v = std::strtof(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && errno == 0 && std::isfinite(v);
}

}  // namespace

bool parse_adjustments(const std::string& text, std::vector<Chi3dlutRgbcmyInfo>& entries,
                       std::string& error) {
    entries.clear();
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::vector<std::string> f = fields_of(line);
        if (f.empty()) continue;
        const std::string at = "line " + std::to_string(number) + ": ";
        if (f.size() != kFields) {
            error = at +
                    "expected 8 fields (hue saturation value targetHue targetSaturation "
                    "targetValue hueShift mode), found " +
                    std::to_string(f.size());
            return false;
        }
        float v[kFields - 1];
        for (int i = 0; i < kFields - 1; ++i)
            if (!to_float(f[i], v[i])) {
                error = at + "'" + f[i] + "' is not a finite number";
                return false;
            }
        if (f[7] != "0" && f[7] != "1") {
            error = at + "mode must be 0 (absolute targets) or 1 (relative changes), not '" + f[7] +
                    "'";
            return false;
        }
        if (entries.size() == kMaxAdjustmentEntries) {
            error = at + "more than " + std::to_string(kMaxAdjustmentEntries) + " adjustments";
            return false;
        }
        entries.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6], f[7] == "1" ? 1 : 0});
    }
    return true;
}

bool read_adjustment_file(const std::string& path, std::vector<Chi3dlutRgbcmyInfo>& entries,
                          std::string& error) {
    std::FILE* file = open_table_file(path.c_str());
    std::string text;
    bool read = file != nullptr;
    if (file) {
        char buffer[4096];
        for (std::size_t got; text.size() <= kMaxFileBytes &&
                              (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, got);
        read = !std::ferror(file);
        std::fclose(file);
    }
    if (!read) {
        error = "cannot read " + path;
        return false;
    }
    if (text.size() > kMaxFileBytes) {
        error = path + ": larger than " + std::to_string(kMaxFileBytes >> 20) +
                " MiB, not an adjustment list";
        return false;
    }
    if (!parse_adjustments(text, entries, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace lutgrade
