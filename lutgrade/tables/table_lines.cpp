#include "tables/table_lines.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace lutgrade {
namespace {

constexpr std::size_t kLineBuffer = 1024;
// Lines that are neither data, keywords nor comments before a file is refused
// (binary input stops early), and parse messages printed before a count.
constexpr int kMaxStrayLines = 10;
constexpr int kMaxParseMessages = 10;

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
// capital (TITLE, DOMAIN_MIN, the 3DMESH and LUT8 of some .3dl files).
bool is_keyword(const std::string& token) {
    bool capital = false;
    for (char c : token) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
        capital = capital || (c >= 'A' && c <= 'Z');
    }
    return capital;
}

bool ends_token(const char* end) { return *end == '\0' || (*end == '\r' && end[1] == '\0'); }

// The whole token (a trailing carriage return aside) reads as a number, finite or not.
bool whole_number(const std::string& token) {
    char* end = nullptr;
    std::strtod(token.c_str(), &end);
    return end != token.c_str() && ends_token(end);
}

// The largest n with n^3 <= v.
int integer_cube_root(std::size_t v) {
    auto n = static_cast<std::size_t>(std::cbrt(static_cast<double>(v)));
    while ((n + 1) * (n + 1) * (n + 1) <= v) ++n;
    while (n > 0 && n * n * n > v) --n;
    return static_cast<int>(n);
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

}  // namespace

void append(std::string& to, const char* format, ...) {
    char text[kLineBuffer + 128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    to += text;
}

bool finite_number(const std::string& token, double& v) {
    const char* text = token.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtod(text, &end);
    if (end == text || errno == ERANGE || !std::isfinite(v)) return false;
    return ends_token(end);
}

bool whole_number_in(const std::string& token, long lo, long hi, long& n) {
    const char* text = token.c_str();
    char* end = nullptr;
    errno = 0;
    n = std::strtol(text, &end, 10);
    return end != text && ends_token(end) && errno == 0 && n >= lo && n <= hi;
}

std::size_t cube_of(int n) { return static_cast<std::size_t>(n) * n * n; }

Curves uniform_curves(const std::vector<float>& values, std::size_t first, int n, const float lo[3],
                      const float hi[3]) {
    Curves curves;
    for (int c = 0; c < 3; ++c) {
        Curve& curve = curves[c];
        curve.x.resize(n);
        curve.y.resize(n);
        for (int i = 0; i < n; ++i) {
            curve.x[i] =
                lo[c] + (hi[c] - lo[c]) * static_cast<float>(i) / static_cast<float>(n - 1);
            curve.y[i] = values[3 * (first + i) + c];
        }
    }
    return curves;
}

TableLines::TableLines(ParsedTable& table) : mTable(table) {
    mTable.curves.clear();
    mTable.edge = 0;
    mTable.rgb.clear();
    mTable.order.clear();
    mTable.reason.clear();
}

bool TableLines::line(char* text) {
    ++mLineNumber;
    if (text[0] == '#') return true;
    const std::vector<std::string> tokens = tokens_of(text);
    if (tokens.empty()) {
        blank(text);
        return true;
    }
    const std::string& first = tokens[0];
    if (first == "#") {
        comment(tokens);
        return true;
    }
    if (whole_number(first) || (!is_keyword(first) && starts_like_number(first)))
        return numbers(tokens);
    bool known = true;
    if (!words(tokens, &known)) return false;
    if (known) return true;
    parse_message(first.c_str());
    if (++mStrayLines >= kMaxStrayLines)
        return refuse_at(
            "not a table: %d lines are neither data nor keywords (the last on line %d)",
            mStrayLines, mLineNumber);
    return true;
}

bool TableLines::words(const std::vector<std::string>& tokens, bool* known) {
    *known = is_keyword(tokens[0]);
    if (*known) parse_message(tokens[0].c_str());
    return true;
}

bool TableLines::refuse(const std::string& reason) {
    mTable.reason = reason;
    mTable.rgb.clear();
    mTable.curves.clear();
    return false;
}

void TableLines::parse_message(const char* first) {
    if (mPrintedMessages < kMaxParseMessages) {
        append(mTable.lines, "Fail to parse %s to three float. \n", printable(first).c_str());
        ++mPrintedMessages;
    } else {
        ++mUnprintedMessages;
    }
}

bool TableLines::triple(const std::vector<std::string>& tokens, double v[3]) {
    if (tokens.size() != 3)
        return refuse_at("bad number on line %d (a data line holds three numbers)", mLineNumber);
    for (int c = 0; c < 3; ++c)
        if (!finite_number(tokens[c], v[c]))
            return refuse_at("bad number on line %d: %s", mLineNumber, tokens[c].c_str());
    return true;
}

int TableLines::edge_of_count(std::size_t entries) {
    if (entries == 0) return 64;
    const int n = integer_cube_root(entries);
    if (cube_of(n) != entries || n < kMinTableEdge) return n + 1;
    append(mTable.lines, "=> readl LutSize=%d\n", n);
    return n;
}

void TableLines::summary(const char* format, int edge, std::size_t values) {
    if (mUnprintedMessages > 0)
        append(mTable.lines, "(%d more lines not parsed)\n", mUnprintedMessages);
    append(mTable.lines, format, edge, mTable.order.c_str(), static_cast<int>(values), 0);
}

}  // namespace lutgrade
