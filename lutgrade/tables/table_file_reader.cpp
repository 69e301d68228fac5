#include "tables/table_file_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "gpu_runtime/gpu_print.h"
#include "platform/table_file_open.h"

namespace lutgrade {
namespace {

constexpr int kDefaultEdge = 64;
constexpr int kMinEdge = 2;
constexpr int kMaxEdge = 256;
constexpr std::size_t kLineBuffer = 1024;
constexpr std::size_t kMaxOrder = 63;
// Lines that are neither data, keywords nor comments before a file is refused
// (binary input stops early), and parse messages printed before a count.
constexpr int kMaxStrayLines = 10;
constexpr int kMaxParseMessages = 10;

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

void append(std::string& to, const char* format, ...) GPU_PRINTF_FORMAT(2, 3);

void append(std::string& to, const char* format, ...) {
    char text[kLineBuffer + 128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    to += text;
}

// .cube values are 0..1, .3dl values 0..4095 (4096 reads as full scale).
std::uint8_t to_byte(double v, TableFormat format) {
    const double scaled = format == TableFormat::k3dl ? v * 255.0 / 4096.0 : v * 255.0 + 0.5;
    if (!(scaled >= 0.0)) return 0;
    if (scaled >= 255.0) return 255;
    return static_cast<std::uint8_t>(scaled);
}

// A data token starts like a number (nan and inf included, to be refused as
// bad numbers); keyword lines (TITLE, DOMAIN_MIN, ...) do not.
bool starts_like_number(const std::string& token) {
    const char c = token[0];
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') return true;
    char* end = nullptr;
    std::strtod(token.c_str(), &end);
    return end != token.c_str();
}

// A token as printed in a parse message: bytes that are not printable ASCII become '?'.
std::string printable(const char* token) {
    std::string text(token);
    for (char& c : text)
        if (c != '\r' && c != ' ' && (c < 0x21 || c > 0x7e)) c = '?';
    return text;
}

// A keyword is a word of capitals, digits and underscores with at least one
// capital (TITLE, DOMAIN_MIN, the 3DMESH of some .3dl files).
bool is_keyword(const std::string& token) {
    bool capital = false;
    for (char c : token) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
        capital = capital || (c >= 'A' && c <= 'Z');
    }
    return capital;
}

// The whole token (a trailing carriage return aside) reads as a number, finite or not.
bool whole_number(const std::string& token) {
    char* end = nullptr;
    std::strtod(token.c_str(), &end);
    return end != token.c_str() && (*end == '\0' || (*end == '\r' && end[1] == '\0'));
}

// The whole token (a trailing carriage return aside) as a finite number.
bool finite_number(const std::string& token, double& v) {
    const char* text = token.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtod(text, &end);
    if (end == text || errno == ERANGE || !std::isfinite(v)) return false;
    return *end == '\0' || (*end == '\r' && end[1] == '\0');
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
    if (!tokens.empty() && tokens.back() == "\r") tokens.pop_back();  // CRLF after a blank
    return tokens;
}

std::size_t cube_of(int n) { return static_cast<std::size_t>(n) * n * n; }

int integer_cube_root(std::size_t v) {
    auto n = static_cast<std::size_t>(std::cbrt(static_cast<double>(v)));
    while ((n + 1) * (n + 1) * (n + 1) <= v) ++n;
    while (n > 0 && n * n * n > v) --n;
    return static_cast<int>(n);
}

class Parser {
public:
    Parser(TableFormat format, ParsedTable& table) : mFormat(format), mTable(table) {
        mTable.edge = kDefaultEdge;
        mTable.rgb.clear();
        mTable.order.clear();
        mTable.reason.clear();
    }

    // false when the file is refused (the reason is set).
    bool line(char* text) {
        ++mLineNumber;
        if (text[0] == '#') return true;
        const std::vector<std::string> tokens = tokens_of(text);
        if (tokens.empty()) {
            parse_message(text);
            return true;
        }
        const std::string& first = tokens[0];
        if (first == "#") {
            if (tokens.size() > 2 && tokens[1] == "LUT_ORDER")
                mTable.order = tokens[2].substr(0, kMaxOrder);
            return true;
        }
        if (first == "LUT_3D_SIZE") return size_line(tokens);
        if (first == "LUT_1D_SIZE") return refuse("1D tables are not supported");
        const bool number = whole_number(first);
        if (number && mFormat == TableFormat::k3dl && tokens.size() != 3 && mStored == 0 &&
            !mMeshSeen) {
            // The mesh line of a .3dl file: the input points, before any entry.
            mMeshSeen = true;
            parse_message(first.c_str());
            return true;
        }
        if (number) return entry(tokens);
        if (is_keyword(first)) {
            parse_message(first.c_str());
            return domain_line(tokens);
        }
        if (starts_like_number(first)) return entry(tokens);  // refused: "0.5," and the like
        parse_message(first.c_str());
        if (++mStrayLines >= kMaxStrayLines)
            return refuse_at(
                "not a table: %d lines are neither data nor keywords (the last on line %d)",
                mStrayLines, mLineNumber);
        return true;
    }

    bool finish() {
        if (mUnprintedMessages > 0)
            append(mTable.lines, "(%d more lines not parsed)\n", mUnprintedMessages);
        const std::size_t entries = mStored / 3;
        if (mByData) {
            const int n = integer_cube_root(entries);
            if (cube_of(n) == entries && n >= kMinEdge) {
                append(mTable.lines, "=> readl LutSize=%d\n", n);
                mTable.edge = n;
            } else if (entries > 0) {
                mTable.edge = n + 1;  // the smallest table the entries could belong to
            }
        }
        append(mTable.lines, texts_of(mFormat).summary, mTable.edge, mTable.order.c_str(),
               static_cast<int>(mStored), 0);
        if (entries == 0) return refuse("no entries");
        const std::size_t want = cube_of(mTable.edge);
        if (entries < want)
            return refuse_at("expected %zu entries (%d^3), found %zu", want, mTable.edge, entries);
        if (mIgnored > 0)
            append(mTable.lines, "ignored %zu entries past %d^3\n", mIgnored, mTable.edge);
        if (mFormat == TableFormat::k3dl) reorder_blue_fastest();
        return true;
    }

private:
    bool refuse(const char* reason) {
        mTable.reason = reason;
        mTable.rgb.clear();
        return false;
    }

    template <class... Args>
    bool refuse_at(const char* format, Args... args) {
        std::string reason;
        append(reason, format, args...);
        return refuse(reason.c_str());
    }

    void parse_message(const char* first) {
        if (mPrintedMessages < kMaxParseMessages) {
            append(mTable.lines, "Fail to parse %s to three float. \n", printable(first).c_str());
            ++mPrintedMessages;
        } else {
            ++mUnprintedMessages;
        }
    }

    bool size_line(const std::vector<std::string>& tokens) {
        char* end = nullptr;
        const char* text = tokens.size() == 2 ? tokens[1].c_str() : "";
        errno = 0;
        const long n = std::strtol(text, &end, 10);
        const bool whole =
            end != text && (*end == '\0' || (*end == '\r' && end[1] == '\0')) && errno == 0;
        if (!whole || n < kMinEdge || n > kMaxEdge)
            return refuse_at("size out of range: LUT_3D_SIZE %s (a whole number from %d to %d)",
                             tokens.size() > 1 ? tokens[1].c_str() : "without a value", kMinEdge,
                             kMaxEdge);
        mTable.edge = static_cast<int>(n);
        mTable.rgb.assign(cube_of(mTable.edge) * 3, 0);
        mStored = 0;
        mIgnored = 0;
        mAllocated = true;
        mByData = false;
        return true;
    }

    // DOMAIN_MIN 0 0 0 and DOMAIN_MAX 1 1 1 (and the one-dimensional
    // LUT_3D_INPUT_RANGE 0 1) are the only domains read; others are refused.
    bool domain_line(const std::vector<std::string>& tokens) {
        const std::string& key = tokens[0];
        double bound = 0.0;
        std::size_t count = 0;
        if (key == "DOMAIN_MIN" || key == "DOMAIN_MAX") {
            bound = key == "DOMAIN_MAX" ? 1.0 : 0.0;
            count = 3;
        } else if (key != "LUT_3D_INPUT_RANGE") {
            return true;
        }
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            double v = 0.0;
            const double want = count == 0 ? (i == 1 ? 0.0 : 1.0) : bound;
            if (!finite_number(tokens[i], v) || v != want)
                return refuse_at("the domain (%s) is not 0 to 1, which is the only one supported",
                                 key.c_str());
        }
        if (tokens.size() != (count == 0 ? 3 : count + 1))
            return refuse_at("the domain (%s) is not 0 to 1, which is the only one supported",
                             key.c_str());
        return true;
    }

    bool entry(const std::vector<std::string>& tokens) {
        double v[3] = {0, 0, 0};
        if (tokens.size() != 3)
            return refuse_at("bad number on line %d (a data line holds three numbers)",
                             mLineNumber);
        for (int c = 0; c < 3; ++c)
            if (!finite_number(tokens[c], v[c]))
                return refuse_at("bad number on line %d: %s", mLineNumber, tokens[c].c_str());
        if (!mAllocated) {
            mTable.rgb.clear();
            mAllocated = true;
            mByData = true;
        }
        if (mByData) {
            // The size comes from the count; entries past 256^3 cannot belong to any table.
            if (mStored / 3 >= cube_of(kMaxEdge))
                return refuse("size out of range: more than 256^3 entries");
            mTable.rgb.resize(mStored + 3);
        } else if (mStored + 3 > mTable.rgb.size()) {
            ++mIgnored;
            return true;
        }
        for (int c = 0; c < 3; ++c) mTable.rgb[mStored + c] = to_byte(v[c], mFormat);
        mStored += 3;
        return true;
    }

    // .3dl files list blue fastest and red slowest; the table is red fastest.
    void reorder_blue_fastest() {
        const int n = mTable.edge;
        std::vector<std::uint8_t> rgb(cube_of(n) * 3);
        std::size_t from = 0;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b, from += 3) {
                    const std::size_t to = ((static_cast<std::size_t>(b) * n + g) * n + r) * 3;
                    for (int c = 0; c < 3; ++c) rgb[to + c] = mTable.rgb[from + c];
                }
        mTable.rgb.swap(rgb);
    }

    TableFormat mFormat;
    ParsedTable& mTable;
    std::size_t mStored = 0;
    std::size_t mIgnored = 0;
    bool mAllocated = false;
    bool mByData = false;
    bool mMeshSeen = false;
    int mLineNumber = 0;
    int mStrayLines = 0;
    int mPrintedMessages = 0;
    int mUnprintedMessages = 0;
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
        if (!parser.line(buffer)) return false;
    if (std::ferror(file)) {
        table.reason = "cannot read";
        table.rgb.clear();
        return false;
    }
    return parser.finish();
}

bool read_table_file(const char* path, TableFormat format, ParsedTable& table) {
    const ReaderText& text = texts_of(format);
    table.lines.clear();
    table.reason.clear();
    table.rgb.clear();
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
