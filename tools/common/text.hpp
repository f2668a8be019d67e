// Text helpers of the tool: XML and sizes, and (from the tracks library) numbers in their
// shortest exact form, names made safe for one-line messages, counts.
//
//   velk::tool::format_number(0.1);         // "0.1"
//   velk::tool::xml_escape("a<b");          // "a&lt;b"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <velk/tracks/message_text.hpp>

namespace velk::tool {

// Numbers, quoted names and counts are worded as the tracks library words them.
using tracks::count_of;
using tracks::format_number;
using tracks::quote_text;
using tracks::shortened;
using tracks::single_line;
using tracks::utf8_length;

// `text` escaped for XML character data and attribute values. Characters XML 1.0 does not
// allow (control characters other than tab, U+FFFE, U+FFFF) and line breaks become U+FFFD.
std::string xml_escape(std::string_view text);

// "512 B", "1.5 KiB", "15.2 GiB": a size in bytes for a person to read.
std::string byte_size(std::size_t bytes);

}  // namespace velk::tool
