#include "table_source.h"

#include "OrvalenQcom3DLUT.h"
#include "table_file_reader.h"
#include "table_resample.h"

namespace lutgrade {

std::vector<std::uint8_t> table_from_file(const char* path, int lutSize) {
  const TableFormat format = table_format_of(path);
  ParsedTable parsed;
  if (format == TableFormat::kNone || !read_table_file(path, format, parsed)) return {};
  return resample_table(parsed.rgb, parsed.edge, lutSize);
}

std::vector<std::uint8_t> table_from_adjustments(Chi3dlutRgbcmyInfo* entries, unsigned count) {
  Orvalen::OrvalenQcom3DLUT builder;
  return builder.build(entries, count);
}

}  // namespace lutgrade
