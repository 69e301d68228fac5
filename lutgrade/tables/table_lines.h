// The line handling every table reader shares: tokens, numbers, capped parse
// messages, the stray-line limit, refusals with line numbers and the summary.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gpu_runtime/gpu_print.h"
#include "tables/parsed_table.h"

namespace lutgrade {

// 3D tables hold 2 to 256 points per axis; curves up to 65536 points.
constexpr int kMinTableEdge = 2;
constexpr int kMaxTableEdge = 256;
constexpr long kMaxCurveSize = 65536;

void append(std::string& to, const char* format, ...) GPU_PRINTF_FORMAT(2, 3);

// The whole token (a trailing carriage return aside) as a finite number.
bool finite_number(const std::string& token, double& v);
// The whole token as a whole number from lo to hi.
bool whole_number_in(const std::string& token, long lo, long hi, long& n);

std::size_t cube_of(int n);

// Curves through n evenly spaced inputs from lo to hi per channel, their
// outputs the n triples of values from the first.
Curves uniform_curves(const std::vector<float>& values, std::size_t first, int n, const float lo[3],
                      const float hi[3]);

// One reader of one file. line() takes each line in turn: comments (#) are
// skipped, lines that start with a number go to numbers(), others to words()
// or, when unknown there, count as stray.
class TableLines {
public:
    explicit TableLines(ParsedTable& table);
    virtual ~TableLines() = default;

    // false when the file is refused (the reason is set).
    bool line(char* text);
    // Reports the summary and checks what was read; false when refused.
    virtual bool finish() = 0;

protected:
    // A line whose first token reads as a number, nan and inf included.
    virtual bool numbers(const std::vector<std::string>& tokens) = 0;
    // Any other line; *known is set false for a line the format does not know.
    virtual bool words(const std::vector<std::string>& tokens, bool* known);
    // A line with no tokens.
    virtual void blank(const char* text) { parse_message(text); }
    // Comment lines: # in the first column, and indented ones.
    virtual void comment(const std::vector<std::string>&) {}

    bool refuse(const std::string& reason);
    template <class... Args>
    bool refuse_at(const char* format, Args... args) {
        std::string reason;
        append(reason, format, args...);
        return refuse(reason);
    }
    void parse_message(const char* first);
    // Three finite numbers, or a refusal naming the line.
    bool triple(const std::vector<std::string>& tokens, double v[3]);
    // The edge of a table sized by its entry count: the cube root (with a line
    // saying so) when the count is a cube, else the smallest table the entries
    // could belong to; 64 when there are none.
    int edge_of_count(std::size_t entries);
    // The count lines and the summary every reader ends with.
    void summary(const char* format, int edge, std::size_t values);

    ParsedTable& mTable;
    int mLineNumber = 0;

private:
    int mStrayLines = 0;
    int mPrintedMessages = 0;
    int mUnprintedMessages = 0;
};

}  // namespace lutgrade
