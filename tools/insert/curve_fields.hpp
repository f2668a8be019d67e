// The checks of the curves of a job: of one curve object's fields as a reader hands them
// over (`CurveFields`, which keeps the first error of each field until the object closes),
// and of the whole input once read or built (`check_input` in input.hpp).
//
//   velk::tool::CurveFields curve{"curves[0]", true};
//   curve.name("A");
//   if (curve.field("points", true, "an array") == velk::tool::CurveFields::List::points)
//     curve.point(1.5);
//   auto error = curve.finish();   // "": sound (no "edges": each point joined to the next)
//   velk::tool::CurveData data = curve.take();
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "insert/input.hpp"

namespace velk::tool {

// One value as the reader sees it: an index (a non-negative integer) or the description
// of anything else.
struct IndexItem {
  bool is_index = false;
  std::uint64_t index = 0;
  std::string description;
};

// "edges[1][0] names point 7, but there are 3 points".
std::string names_missing(std::string const& what, char const* element, std::string const& index,
                          std::size_t count);

// What one curve object (or the background) of the file holds so far. A field given twice
// counts once, with its last value, as in a JSON document.
class CurveFields {
 public:
  // The list an array value fills.
  enum class List { none, points, edges, insert };

  CurveFields() = default;
  // `position`: "background" or "curves[3]"; `is_input`: an input curve (named, may have
  // "insert").
  CurveFields(std::string position, bool is_input);

  // The value of field `key` that is not a string name: an array (`is_array`, whose items
  // follow) or any other value, described. Returns the list the array's items fill.
  List field(std::string const& key, bool is_array, std::string const& description);
  // A string value of "name".
  void name(std::string const& text);

  // Items of "points": a coordinate, or anything else at `position`, described.
  void point(double x) {
    if (!points_error_) points_.push_back(x);
  }
  void point_not_number(std::size_t position, std::string const& description);

  // Items of "edges": a pair opens, its items, it closes at `position`; or an item of
  // "edges" that is no array.
  void start_pair() { pair_size_ = 0; }
  void pair_item(IndexItem item);
  void finish_pair(std::size_t position);
  void edge_not_pair(std::size_t position, std::string const& description);

  // An item of "insert" at `position`.
  void insert_item(std::size_t position, IndexItem const& item);

  // The first error of the curve in the order the fields are checked: name, unknown
  // fields, points, edges, insert ("" when sound, with the default edges when "edges" is
  // absent), starting with where the curve is.
  std::string finish();
  // The curve read (after `finish`).
  CurveData take();

 private:
  // The message of a field, deferred until the curve's object closes: the place ("curve
  // "A" (curves[0])") is known only then, and an index too large for `index_t` is reported
  // with the number of points or edges, known only then too.
  struct FieldError {
    std::string what;    // the whole message, or the field ("insert[1]") of a missing index
    bool missing_index;  // true: names_missing(what, element, index, count)
    char const* element;
    std::uint64_t index;
  };
  static FieldError message(std::string what) { return {std::move(what), false, nullptr, 0}; }
  static std::string message_of(FieldError const& error, std::size_t count);
  static std::optional<FieldError> index_error(IndexItem const& item, std::string const& what,
                                               char const* element);

  std::string position_;
  bool is_input_ = false;

  bool has_name_ = false;
  std::string name_;
  std::string name_error_;     // "field \"name\" must be a string, not ..."
  std::string unknown_field_;  // the smallest unknown key (JSON objects list keys in order)
  bool has_unknown_field_ = false;

  bool has_points_ = false;
  std::vector<double> points_;
  std::optional<FieldError> points_error_;

  bool has_edges_ = false;
  std::vector<std::array<index_t, 2>> edges_;
  std::optional<FieldError> edges_error_;

  bool has_insert_ = false;
  std::vector<index_t> insert_;
  std::optional<FieldError> insert_error_;

  // The edge pair being read: its first two items and its number of items.
  std::array<IndexItem, 2> pair_;
  std::size_t pair_size_ = 0;
};

}  // namespace velk::tool
