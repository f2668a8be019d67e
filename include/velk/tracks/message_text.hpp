// The text of one-line messages: numbers in their shortest exact form, names quoted so that
// they never break a line, counts with their noun. Shared by the tracks library and the
// command-line tool, so that both word their messages alike.
//
//   velk::tracks::format_number(0.1);        // "0.1"
//   velk::tracks::quote_text("well\nA");     // "\"well\\nA\""
//   velk::tracks::count_of(3, "edge");       // "3 edges"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

// The shortest decimal text that reads back to `value` ("2.5", "1e-09", "inf", "nan").
VELK_TRACKS_API std::string format_number(double value);

// `text` between double quotes, with quotes, backslashes and control characters escaped
// (`\"`, `\\`, `\n`, `\t`, `\xNN`), so that a name never breaks a one-line message.
VELK_TRACKS_API std::string quote_text(std::string_view text);

// `text` on one line of at most `max_bytes` bytes: control characters become spaces and a
// cut never splits a UTF-8 sequence.
VELK_TRACKS_API std::string single_line(std::string_view text, std::size_t max_bytes);

// `text` cut to at most `max_characters` UTF-8 characters, with "…" at the end when cut.
VELK_TRACKS_API std::string shortened(std::string_view text, std::size_t max_characters);

// "1 edge", "3 edges": a count and its noun, in the plural (`plural`, or the noun and an
// "s" when `plural` is empty) unless the count is 1.
VELK_TRACKS_API std::string count_of(std::size_t count, std::string_view noun,
                                     std::string_view plural = {});

// Number of UTF-8 characters of `text` (bytes that do not continue a sequence).
VELK_TRACKS_API std::size_t utf8_length(std::string_view text);

}  // namespace velk::tracks
