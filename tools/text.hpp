// Text helpers of the tool: numbers in their shortest exact form, names made safe for
// one-line messages, XML and the VTK title line.
//
//   velk::tool::format_number(0.1);         // "0.1"
//   velk::tool::quote_text("well\nA");          // "\"well\\nA\""
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk::tool {

// The shortest decimal text that reads back to `value` ("2.5", "1e-09", "inf", "nan").
std::string format_number(double value);

// `text` between double quotes, with quotes, backslashes and control characters escaped
// (`\"`, `\\`, `\n`, `\t`, `\xNN`), so that a name never breaks a one-line message.
std::string quote_text(std::string_view text);

// `text` escaped for XML character data and attribute values. Characters XML 1.0 does not
// allow (control characters other than tab, U+FFFE, U+FFFF) and line breaks become U+FFFD.
std::string xml_escape(std::string_view text);

// `text` on one line of at most `max_bytes` bytes: control characters become spaces and a
// cut never splits a UTF-8 sequence.
std::string single_line(std::string_view text, std::size_t max_bytes);

// `text` cut to at most `max_characters` UTF-8 characters, with "…" at the end when cut.
std::string shortened(std::string_view text, std::size_t max_characters);

// "1 edge", "3 edges": a count and its noun, in the plural (`plural`, or the noun and an
// "s" when `plural` is empty) unless the count is 1.
std::string count_of(std::size_t count, std::string_view noun, std::string_view plural = {});

// "512 B", "1.5 KiB", "15.2 GiB": a size in bytes for a person to read.
std::string byte_size(std::size_t bytes);

// Number of UTF-8 characters of `text` (bytes that do not continue a sequence).
std::size_t utf8_length(std::string_view text);

}  // namespace velk::tool
