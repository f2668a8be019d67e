#include <velk/tracks/message_text.hpp>

#include <charconv>

namespace velk::tracks {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

}  // namespace

std::string format_number(double value) {
  char buffer[32];
  auto const result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string quote_text(std::string_view text) {
  static constexpr char HEX[] = "0123456789abcdef";
  std::string result{"\""};
  for (char const character : text) {
    auto const byte = static_cast<unsigned char>(character);
    if (character == '"' || character == '\\') {
      result.push_back('\\');
      result.push_back(character);
    } else if (character == '\n') {
      result.append("\\n");
    } else if (character == '\t') {
      result.append("\\t");
    } else if (byte < 0x20U || byte == 0x7FU) {
      result.append("\\x");
      result.push_back(HEX[byte >> 4U]);
      result.push_back(HEX[byte & 0xFU]);
    } else {
      result.push_back(character);
    }
  }
  result.push_back('"');
  return result;
}

std::string single_line(std::string_view text, std::size_t max_bytes) {
  std::string result;
  for (char const character : text) {
    auto const byte = static_cast<unsigned char>(character);
    result.push_back(byte < 0x20U || byte == 0x7FU ? ' ' : character);
  }
  if (result.size() > max_bytes) {
    std::size_t cut = max_bytes;
    while (cut > 0 && is_continuation(static_cast<unsigned char>(result[cut]))) --cut;
    result.resize(cut);
  }
  return result;
}

std::string count_of(std::size_t count, std::string_view noun, std::string_view plural) {
  auto text = std::to_string(count) + " ";
  if (count == 1) return text + std::string{noun};
  return text + (plural.empty() ? std::string{noun} + "s" : std::string{plural});
}

std::size_t utf8_length(std::string_view text) {
  std::size_t length = 0;
  for (char const character : text) {
    if (!is_continuation(static_cast<unsigned char>(character))) ++length;
  }
  return length;
}

std::string shortened(std::string_view text, std::size_t max_characters) {
  if (utf8_length(text) <= max_characters || max_characters == 0) return std::string{text};
  std::size_t characters = 0;
  std::size_t cut = 0;
  for (; cut < text.size(); ++cut) {
    if (!is_continuation(static_cast<unsigned char>(text[cut]))) {
      if (characters == max_characters - 1) break;
      ++characters;
    }
  }
  return std::string{text.substr(0, cut)} + "\xE2\x80\xA6";
}

}  // namespace velk::tracks
