#include "table_file_reader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gpu_runtime/gpu_print.h"
#include "platform/table_file_open.h"

namespace lutgrade {
namespace {

using gpurt::gpu_print;

constexpr int kDefaultEdge = 64;
constexpr int kMinEdge = 2;
constexpr int kMaxEdge = 256;
constexpr std::size_t kLineBuffer = 1024;
constexpr std::size_t kMaxOrder = 63;

struct ReaderText {
  const char* pathLine;
  const char* openFailure;
  const char* summary;
};

const ReaderText& texts_of(TableFormat format) {
  static const ReaderText cube{"    set lutImagePath : %s \n", " can not open .CUBE file\n",
                               "LUT_SIZE=%d typd=%s nd=%d lines=%d \n"};
  static const ReaderText threeDl{"    set lutImagePath 3dl: %s \n", " can not open .3DL file\n",
                                  "    LUT_SIZE=%d typd=%s nd=%d lines=%d \n"};
  return format == TableFormat::k3dl ? threeDl : cube;
}

// .cube values are 0..1, .3dl values 0..4095 (4096 reads as full scale).
std::uint8_t to_byte(double v, TableFormat format) {
  const double scaled = format == TableFormat::k3dl ? v * 255.0 / 4096.0 : v * 255.0 + 0.5;
  if (!(scaled >= 0.0)) return 0;  // negative or not a number
  if (scaled >= 255.0) return 255;
  return static_cast<std::uint8_t>(scaled);
}

// A data token starts like a number; keyword lines (TITLE, DOMAIN_MIN, ...) do not.
bool starts_like_number(const std::string& token) {
  const char c = token[0];
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

std::vector<std::string> tokens_of(char* line) {
  for (char* p = line; *p; ++p)
    if (*p == '\t' || *p == '\n') *p = ' ';
  std::vector<std::string> tokens;
  for (char* p = line; *p;) {
    while (*p == ' ') ++p;
    char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) tokens.emplace_back(p, end);
    p = end;
  }
  return tokens;
}

int integer_cube_root(long long v) {
  auto n = static_cast<long long>(std::cbrt(static_cast<double>(v)));
  while ((n + 1) * (n + 1) * (n + 1) <= v) ++n;
  while (n > 0 && n * n * n > v) --n;
  return static_cast<int>(n);
}

class Parser {
 public:
  Parser(TableFormat format, ParsedTable& table) : format_(format), table_(table) {
    table_.edge = kDefaultEdge;
    table_.rgb.clear();
    table_.order.clear();
  }

  // false when the file must be rejected.
  bool line(char* text) {
    if (text[0] == '#') return true;
    std::vector<std::string> tokens = tokens_of(text);
    if (!tokens.empty() && tokens[0] == "LUT_3D_SIZE") return size_line(tokens);
    if (!tokens.empty() && tokens[0] == "#") {
      if (tokens.size() > 1 && tokens[1] == "LUT_ORDER" && tokens.size() > 2)
        table_.order = tokens[2].substr(0, kMaxOrder);
      return true;
    }
    if (tokens.size() == 3 && starts_like_number(tokens[0])) {
      entry(tokens);
    } else {
      gpu_print("Fail to parse %s to three float. \n", tokens.empty() ? text : tokens[0].c_str());
    }
    return true;
  }

  bool finish() {
    if (byData_) {
      const int n = integer_cube_root(static_cast<long long>(stored_ / 3));
      if (static_cast<std::size_t>(n) * n * n * 3 == stored_) {
        gpu_print("=> readl LutSize=%d\n", n);
        table_.edge = n;
      }
    }
    gpu_print(texts_of(format_).summary, table_.edge, table_.order.c_str(), static_cast<int>(stored_), 0);
    if (!allocated_) return false;
    table_.rgb.resize(static_cast<std::size_t>(table_.edge) * table_.edge * table_.edge * 3);
    return true;
  }

 private:
  bool size_line(const std::vector<std::string>& tokens) {
    if (tokens.size() < 2) return true;
    const int n = std::atoi(tokens[1].c_str());
    if (n < kMinEdge || n > kMaxEdge) {
      gpu_print("Error @LUT_3D_SIZE:%d (the size must be %d to %d)\n", n, kMinEdge, kMaxEdge);
      return false;
    }
    table_.edge = n;
    allocate();
    byData_ = false;
    return true;
  }

  void allocate() {
    // Entries a file leaves out stay zero.
    table_.rgb.assign(static_cast<std::size_t>(table_.edge) * table_.edge * table_.edge * 3, 0);
    stored_ = 0;
    allocated_ = true;
  }

  void entry(const std::vector<std::string>& tokens) {
    if (!allocated_) {
      allocate();
      byData_ = true;
    }
    if (stored_ + 3 > table_.rgb.size()) return;
    for (int c = 0; c < 3; ++c) table_.rgb[stored_ + c] = to_byte(std::atof(tokens[c].c_str()), format_);
    stored_ += 3;
  }

  TableFormat format_;
  ParsedTable& table_;
  std::size_t stored_ = 0;
  bool allocated_ = false;
  bool byData_ = false;
};

}  // namespace

TableFormat table_format_of(const char* path) {
  if (!path) return TableFormat::kNone;
  const char* dot = std::strrchr(path, '.');
  const char* ext = dot ? dot + 1 : path;
  if (!std::strcmp(ext, "cube") || !std::strcmp(ext, "CUBE")) return TableFormat::kCube;
  if (!std::strcmp(ext, "3dl") || !std::strcmp(ext, "3DL")) return TableFormat::k3dl;
  return TableFormat::kNone;
}

bool parse_table(std::FILE* file, TableFormat format, ParsedTable& table) {
  Parser parser(format, table);
  char buffer[kLineBuffer];
  while (std::fgets(buffer, sizeof buffer, file))
    if (!parser.line(buffer)) {
      table.rgb.clear();
      return false;
    }
  return parser.finish();
}

bool read_table_file(const char* path, TableFormat format, ParsedTable& table) {
  const ReaderText& text = texts_of(format);
  gpu_print(text.pathLine, path);
  std::FILE* file = open_table_file(path);
  if (!file) {
    gpu_print("%s", text.openFailure);
    return false;
  }
  const bool ok = parse_table(file, format, table);
  std::fclose(file);
  return ok;
}

}  // namespace lutgrade
