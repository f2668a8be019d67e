#include "common/text.hpp"

#include <charconv>

namespace velk::tool {
namespace {

constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

}  // namespace

std::string xml_escape(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto const byte = static_cast<unsigned char>(text[i]);
    switch (text[i]) {
      case '&':
        result.append("&amp;");
        continue;
      case '<':
        result.append("&lt;");
        continue;
      case '>':
        result.append("&gt;");
        continue;
      case '"':
        result.append("&quot;");
        continue;
      case '\'':
        result.append("&apos;");
        continue;
      default:
        break;
    }
    if (byte < 0x20U && text[i] != '\t') {
      result.append(REPLACEMENT_CHARACTER);
      continue;
    }
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF in UTF-8.
    if (byte == 0xEFU && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBFU &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFEU) == 0xBEU) {
      result.append(REPLACEMENT_CHARACTER);
      i += 2;
      continue;
    }
    result.push_back(text[i]);
  }
  return result;
}

std::string byte_size(std::size_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr char const* UNITS[] = {"KiB", "MiB", "GiB", "TiB"};
  auto value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < sizeof(UNITS) / sizeof(UNITS[0])) {
    value /= 1024;
    ++unit;
  }
  char buffer[32];
  auto const end =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 1);
  return std::string(buffer, end.ptr) + " " + UNITS[unit];
}

}  // namespace velk::tool
