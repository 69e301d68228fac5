#include "tables/table_file_reader.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/table_file_open.h"
#include "tables/table_readers.h"

namespace lutgrade {
namespace {

constexpr std::size_t kLineBuffer = 1024;

struct ReaderText {
    const char* pathLine;
    const char* openFailure;
};

const ReaderText& texts_of(TableFormat format) {
    static const ReaderText cube{"    set lutImagePath : %s \n", " can not open .CUBE file\n"};
    static const ReaderText threeDl{"    set lutImagePath 3dl: %s \n", " can not open .3DL file\n"};
    return format == TableFormat::k3dl ? threeDl : cube;
}

std::unique_ptr<TableLines> reader_of(TableFormat format, ParsedTable& table) {
    switch (format) {
        case TableFormat::k3dl:
            return make_3dl_reader(table);
        case TableFormat::kCsp:
            return make_csp_reader(table);
        case TableFormat::kSpi3d:
            return make_spi3d_reader(table);
        case TableFormat::kSpi1d:
            return make_spi1d_reader(table);
        default:
            return make_cube_reader(table);
    }
}

}  // namespace

TableFormat table_format_of(const char* path) {
    if (!path) return TableFormat::kNone;
    const char* dot = std::strrchr(path, '.');
    std::string ext = dot ? dot + 1 : path;
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const struct {
        const char* ext;
        TableFormat format;
    } kFormats[] = {{"cube", TableFormat::kCube},   {"3dl", TableFormat::k3dl},
                    {"csp", TableFormat::kCsp},     {"spi3d", TableFormat::kSpi3d},
                    {"spi1d", TableFormat::kSpi1d}, {"itx", TableFormat::kItx}};
    for (const auto& f : kFormats)
        if (ext == f.ext) return f.format;
    return TableFormat::kNone;
}

bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table) {
    const std::unique_ptr<TableLines> reader = reader_of(format, table);
    char buffer[kLineBuffer];
    while (std::fgets(buffer, sizeof buffer, file))
        if (!reader->line(buffer)) return false;
    if (std::ferror(file)) {
        table.reason = "cannot read";
        table.rgb.clear();
        table.curves.clear();
        return false;
    }
    return reader->finish();
}

bool read_table_file(const char* path, TableFormat format, ParsedTable& table) {
    const ReaderText& text = texts_of(format);
    table.lines.clear();
    table.reason.clear();
    table.rgb.clear();
    table.curves.clear();
    append(table.lines, text.pathLine, path);
    std::FILE* file = open_table_file(path);
    if (!file) {
        table.lines += text.openFailure;
        table.reason = errno == EISDIR ? "is a directory"
                                       : std::string("cannot open (") + std::strerror(errno) + ")";
        return false;
    }
    const bool ok = parse_table(file, format, table);
    std::fclose(file);
    return ok;
}

}  // namespace lutgrade
