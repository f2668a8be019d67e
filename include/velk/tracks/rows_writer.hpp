// The rows an overlay writes: one per background edge that carries at least one input edge,
// tab-separated `seq start end count names` (no `seq` for a plain table), where `count` is
// the number of distinct curves the edge carries and `names` their names, comma-separated in
// command-line order. Coordinates are printed as they were read (see `Spellings`).
//
//   velk::tracks::CurveSet set{names.size()};
//   set.insert(2);
//   velk::tracks::TsvRows rows{"chr1", names, spellings, text};
//   rows.add(10, velk::tracks::Spellings::PLAIN, 20, velk::tracks::Spellings::PLAIN, set);
//   // text == "chr1\t10\t20\t1\tC\n"
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <velk/tracks/track_reader.hpp>
#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

// A set of curves, by index: a bit each.
class VELK_TRACKS_API CurveSet {
 public:
  explicit CurveSet(std::size_t nb_curves) : words_((nb_curves + 63) / 64, 0) {}

  void clear();
  void insert(std::size_t curve);
  bool contains(std::size_t curve) const { return (words_[curve / 64] >> (curve % 64)) & 1U; }
  std::size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool operator==(CurveSet const& other) const { return words_ == other.words_; }
  std::vector<std::uint64_t> const& words() const { return words_; }

 private:
  std::vector<std::uint64_t> words_;
  std::size_t count_ = 0;
};

// Appends the text of a coordinate: the value as an integer for `Spellings::PLAIN`, else
// the spelling's text.
VELK_TRACKS_API void append_coordinate(std::string& out, double value, std::uint32_t spelling,
                                       Spellings const& spellings);

// Appends rows to `out`.
class VELK_TRACKS_API TsvRows {
 public:
  // `sequence`: the first column of every row; empty for a plain table (no such column).
  TsvRows(std::string_view sequence, std::vector<std::string> const& names,
          Spellings const& spellings, std::string& out);

  // One row: the interval [start, end] carried by the curves of `set` (not empty).
  void add(double start, std::uint32_t start_spelling, double end, std::uint32_t end_spelling,
           CurveSet const& set);

 private:
  std::string_view sequence_;
  std::vector<std::string> const& names_;
  Spellings const& spellings_;
  std::string& out_;
  // The names column of the last set written: neighbouring rows often carry the same set.
  CurveSet last_set_;
  std::string last_names_;
};

// The sorted, distinct coordinates of a line, each with the spelling it is printed in.
struct Breakpoints {
  std::vector<double> x;
  std::vector<std::uint32_t> spelling;
};

// What the rows of one line are made of, without their text: the breakpoints and, for each
// background edge in axis order (edge e spans breakpoints e and e + 1), the set of curves it
// carries as an index into `sets`, or `NO_SET`.
struct VELK_TRACKS_API LineRows {
  static constexpr std::uint32_t NO_SET = ~std::uint32_t{0};

  std::string sequence;  // empty for a plain table
  Breakpoints breakpoints;
  std::vector<std::uint32_t> set_of_edge;
  std::vector<CurveSet> sets;

  // The index of `set` in `sets`, added when new.
  std::uint32_t intern(CurveSet const& set);

 private:
  std::map<std::vector<std::uint64_t>, std::uint32_t> index_;
  std::uint32_t last_ = NO_SET;
};

// Writes the rows of `rows` to `out`, in axis order, a block of text at a time.
VELK_TRACKS_API void write_rows(std::ostream& out, LineRows const& rows,
                                std::vector<std::string> const& names, Spellings const& spellings);

}  // namespace velk::tracks
