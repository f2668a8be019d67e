#include <basic/uuid.hpp>

#include <random>

#include <absl/strings/str_cat.h>

#include <basic/lumora_exception.hpp>
#include <basic/strings.hpp>

namespace velk {
namespace {

std::mt19937_64& generator() {
  thread_local std::mt19937_64 engine{[] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device()};
    return std::mt19937_64{seed};
  }()};
  return engine;
}

int hex_value(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  return -1;
}

constexpr bool is_dash_position(std::size_t position) {
  return position == 8 || position == 13 || position == 18 || position == 23;
}

}  // namespace

uuid::uuid() {
  auto& engine = generator();
  for (std::size_t word = 0; word < 2; ++word) {
    auto value = engine();
    for (std::size_t byte = 0; byte < 8; ++byte) {
      bytes_[word * 8 + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
  }
  bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0F) | 0x40);  // version 4
  bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3F) | 0x80);  // variant 1
}

uuid::uuid(std::string_view text) : bytes_{} {
  bool valid = text.size() == 36;
  std::size_t byte = 0;
  for (std::size_t position = 0; valid && position < text.size(); ++position) {
    if (is_dash_position(position)) {
      valid = text[position] == '-';
      continue;
    }
    auto high = hex_value(text[position]);
    auto low = position + 1 < text.size() ? hex_value(text[position + 1]) : -1;
    valid = high >= 0 && low >= 0;
    if (valid) bytes_[byte++] = static_cast<std::uint8_t>(high * 16 + low);
    ++position;
  }
  if (!valid || byte != 16) {
    throw LumoraException{absl::StrCat("[uuid::uuid] \"", as_absl(text), "\" is not a uuid text")};
  }
}

std::string uuid::string() const {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(36);
  for (std::size_t byte = 0; byte < bytes_.size(); ++byte) {
    if (byte == 4 || byte == 6 || byte == 8 || byte == 10) text.push_back('-');
    text.push_back(digits[bytes_[byte] >> 4]);
    text.push_back(digits[bytes_[byte] & 0x0F]);
  }
  return text;
}

}  // namespace velk
