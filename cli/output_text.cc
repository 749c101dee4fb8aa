#include "cli/output_text.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace gatekeeper::cli {
namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

std::string hexEscape(const char* format, unsigned char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, format, static_cast<unsigned>(c));
  return escaped;
}

}  // namespace

std::string plainText(std::string_view text) {
  std::string shown;
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (isControl(c) || c == '\\') {
      shown += hexEscape("\\x%02x", c);
    } else {
      shown += byte;
    }
  }
  return shown;
}

void writeColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      out << row[i];
      if (i + 1 < row.size()) out << std::string(widths[i] - row[i].size() + 2, ' ');
    }
    out << "\n";
  }
}

std::string jsonString(std::string_view text) {
  std::string json = "\"";
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += byte;
    } else if (c < 0x20 || c >= 0x7F) {
      json += hexEscape("\\u%04x", c);
    } else {
      json += byte;
    }
  }
  return json + "\"";
}

}  // namespace gatekeeper::cli
