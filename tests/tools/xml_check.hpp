// A strict check that a text is well-formed XML, for the tool's SVG output: one root
// element, properly nested tags, quoted attributes without duplicates, only the predefined
// and numeric entities, and no character XML forbids.
//
//   auto fault = velk::tool_test::xml_fault(svg_text, &names);   // "" when well-formed
#pragma once

#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velk::tool_test {

namespace xml_detail {

inline bool is_name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':' ||
         c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// Checks character data or an attribute value: entities and allowed characters.
inline std::string check_text(std::string_view text, bool in_attribute) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto const c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return "forbidden control character";
    if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
      return "forbidden character U+FFFE or U+FFFF";
    }
    if (in_attribute && text[i] == '<') return "'<' in an attribute value";
    if (text[i] != '&') continue;
    auto const end = text.find(';', i);
    if (end == std::string_view::npos) return "unterminated entity";
    auto const entity = text.substr(i + 1, end - i - 1);
    bool valid =
        entity == "amp" || entity == "lt" || entity == "gt" || entity == "quot" || entity == "apos";
    if (!valid && entity.size() > 1 && entity[0] == '#') {
      valid = true;
      bool const hex = entity[1] == 'x';
      for (std::size_t k = hex ? 2 : 1; k < entity.size(); ++k) {
        valid = valid && (hex ? std::isxdigit(static_cast<unsigned char>(entity[k])) != 0
                              : std::isdigit(static_cast<unsigned char>(entity[k])) != 0);
      }
      valid = valid && entity.size() > (hex ? 2U : 1U);
    }
    if (!valid) return "unknown entity &" + std::string{entity} + ";";
    i = end;
  }
  return {};
}

}  // namespace xml_detail

// "" when `text` is well-formed; otherwise what is wrong and at which byte. The names of
// the elements met, in document order, are appended to `names` when given.
inline std::string xml_fault(std::string_view text, std::vector<std::string>* names = nullptr) {
  using namespace xml_detail;
  std::vector<std::string> open;
  bool root_seen = false;
  std::size_t i = 0;
  auto const at = [&i](std::string const& what) { return what + " at byte " + std::to_string(i); };
  auto const skip_space = [&]() {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  };
  auto const read_name = [&]() {
    auto const start = i;
    while (i < text.size() && is_name_char(text[i])) ++i;
    return std::string{text.substr(start, i - start)};
  };
  while (i < text.size()) {
    if (text[i] != '<') {
      auto const end = std::min(text.find('<', i), text.size());
      auto const chunk = text.substr(i, end - i);
      if (open.empty()) {
        for (char const c : chunk) {
          if (std::isspace(static_cast<unsigned char>(c)) == 0) return at("text outside the root");
        }
      } else if (auto fault = check_text(chunk, false); !fault.empty()) {
        return at(fault);
      }
      i = end;
      continue;
    }
    if (text.substr(i, 4) == "<!--") {
      auto const end = text.find("-->", i);
      if (end == std::string_view::npos) return at("unterminated comment");
      i = end + 3;
      continue;
    }
    if (text.substr(i, 2) == "<?") {
      auto const end = text.find("?>", i);
      if (end == std::string_view::npos) return at("unterminated processing instruction");
      i = end + 2;
      continue;
    }
    if (text.substr(i, 2) == "</") {
      i += 2;
      auto const name = read_name();
      skip_space();
      if (i >= text.size() || text[i] != '>') return at("malformed end tag");
      if (open.empty() || open.back() != name) return at("end tag </" + name + "> does not match");
      open.pop_back();
      ++i;
      continue;
    }
    ++i;
    auto const name = read_name();
    if (name.empty()) return at("malformed start tag");
    if (open.empty() && root_seen) return at("second root element <" + name + ">");
    root_seen = true;
    if (names != nullptr) names->push_back(name);
    std::set<std::string> attributes;
    while (true) {
      auto const before = i;
      skip_space();
      if (i >= text.size()) return at("unterminated start tag");
      if (text[i] == '>') {
        open.push_back(name);
        ++i;
        break;
      }
      if (text.substr(i, 2) == "/>") {
        i += 2;
        break;
      }
      if (i == before) return at("missing space before an attribute");
      auto const attribute = read_name();
      if (attribute.empty()) return at("malformed attribute");
      if (!attributes.insert(attribute).second) return at("duplicate attribute " + attribute);
      skip_space();
      if (i >= text.size() || text[i] != '=') return at("attribute without a value");
      ++i;
      skip_space();
      if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return at("unquoted value");
      auto const quote = text[i];
      auto const end = text.find(quote, i + 1);
      if (end == std::string_view::npos) return at("unterminated attribute value");
      if (auto fault = check_text(text.substr(i + 1, end - i - 1), true); !fault.empty()) {
        return at(fault);
      }
      i = end + 1;
    }
  }
  if (!open.empty()) return "unclosed element <" + open.back() + ">";
  if (!root_seen) return "no root element";
  return {};
}

}  // namespace velk::tool_test
