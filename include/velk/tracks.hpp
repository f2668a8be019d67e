// Interval tracks and their overlay. A track is a set of rows [start, end] (BED files name
// a sequence per row; plain tables are one line of `start end` rows), read from files (plain
// or gzip, "-" for standard input) or given as columns in memory. The overlay inserts each
// track as a curve into one background line per sequence and reads back the stretches of
// the axis with the set of tracks covering each: rows `seq start end count names`.
//
//   #include <velk/tracks.hpp>
//
//   // From files: a.bed and b.bed.gz are tracks "a" and "b".
//   auto set = velk::tracks::read_tracks({"a.bed", "b.bed.gz"}, {}, "auto");
//   velk::tracks::overlay(set, 2, [&](velk::tracks::LineRows const& line) {
//     velk::tracks::write_rows(std::cout, line, set.names, set.spellings);  // chr1 10 20 2 a,b
//   });
//
//   // From memory: the same rules (BED's zero-length rows are read as the bases on both
//   // sides, a table's are left out), the rows collected.
//   velk::tracks::TrackColumns a{{"chr1", "chr1"}, {10, 30}, {20, 40}};
//   velk::tracks::TrackColumns b{{"chr1"}, {15}, {35}};
//   auto lines = velk::tracks::overlay(
//       velk::tracks::tracks_from_columns({a, b}, {"a", "b"}, velk::tracks::TrackFormat::bed), 1);
//   for (std::size_t e = 0; e < lines[0].set_of_edge.size(); ++e) {
//     if (lines[0].set_of_edge[e] == velk::tracks::LineRows::NO_SET) continue;
//     auto const& tracks = lines[0].sets[lines[0].set_of_edge[e]];  // tracks.contains(1): in b
//     // the row spans lines[0].breakpoints.x[e] .. x[e + 1]
//   }
//
// Errors are `velk::tracks::TrackError` (a `LumoraException`): bad input names the file (or
// "track N") and line; an insertion that fails is `failed`.
#pragma once

#include <velk/tracks/edge_rows.hpp>
#include <velk/tracks/message_text.hpp>
#include <velk/tracks/ordered_pool.hpp>
#include <velk/tracks/overlay.hpp>
#include <velk/tracks/rows_writer.hpp>
#include <velk/tracks/track_error.hpp>
#include <velk/tracks/track_reader.hpp>
