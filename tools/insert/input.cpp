#include "insert/input.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/text.hpp"
#include "common/tool_error.hpp"

namespace velk::tool {
namespace {

using nlohmann::json;

// Longest JSON text of an offending value quoted in a message.
constexpr std::size_t MAX_QUOTED_VALUE = 40;

// "edges[1][0] names point 7, but there are 3 points".
std::string names_missing(std::string const& what, char const* element, std::string const& index,
                          std::size_t count) {
  return what + " names " + element + " " + index + ", but there " +
         (count == 1 ? std::string{"is 1 "} + element
                     : "are " + std::to_string(count) + " " + element + "s");
}

// "a string (\"abc\")", "a number (7)", "null": the JSON type of a scalar value with the
// value itself, shortened.
std::string describe(json const& value) {
  if (value.is_null()) return "null";
  std::string const type = value.type_name();
  auto text = value.dump(-1, ' ', true, json::error_handler_t::replace);
  if (utf8_length(text) > MAX_QUOTED_VALUE) text = shortened(text, MAX_QUOTED_VALUE);
  return "a " + type + " (" + text + ")";
}

// How a container is described where another value was expected.
std::string describe_container(bool is_array) { return is_array ? "an array" : "an object"; }

// The message of a field, deferred until the curve's object closes: the place ("curve
// "A" (curves[0])") is known only then, and an index too large for `index_t` is reported
// with the number of points or edges, known only then too.
struct FieldError {
  std::string what;    // the whole message, or the field ("insert[1]") of a missing index
  bool missing_index;  // true: names_missing(what, element, index, count)
  char const* element;
  std::uint64_t index;
};

// One value as the reader sees it: an index (a non-negative integer) or the description
// of anything else.
struct IndexItem {
  bool is_index = false;
  std::uint64_t index = 0;
  std::string description;
};

// What one curve object (or the background) of the file holds so far. A field given twice
// counts once, with its last value, as in a JSON document.
struct CurveState {
  std::string position;  // "background" or "curves[3]"
  bool is_input = false;

  bool has_name = false;
  std::string name;
  std::string name_error;     // "field \"name\" must be a string, not ..."
  std::string unknown_field;  // the smallest unknown key (JSON objects list keys in order)
  bool has_unknown_field = false;

  bool has_points = false;
  std::vector<double> points;
  std::optional<FieldError> points_error;

  bool has_edges = false;
  std::vector<std::array<index_t, 2>> edges;
  std::optional<FieldError> edges_error;

  bool has_insert = false;
  std::vector<index_t> insert;
  std::optional<FieldError> insert_error;

  // The edge pair being read: its first two items and its number of items.
  std::array<IndexItem, 2> pair;
  std::size_t pair_size = 0;

  void reset_points() {
    has_points = false;
    points.clear();
    points_error.reset();
  }
  void reset_edges() {
    has_edges = false;
    edges.clear();
    edges_error.reset();
  }
  void reset_insert() {
    has_insert = false;
    insert.clear();
    insert_error.reset();
  }
};

// A field error turned into its message, once the counts are known.
std::string message_of(FieldError const& error, std::size_t count) {
  if (!error.missing_index) return error.what;
  return names_missing(error.what, error.element, std::to_string(error.index), count);
}

// The index of `item`, or its error: what a non-negative integer must be, or one too large
// for `index_t` (reported like any missing element).
std::optional<FieldError> index_error(IndexItem const& item, std::string const& what,
                                      char const* element) {
  if (!item.is_index) {
    return FieldError{what + " must be a non-negative integer, not " + item.description, false,
                      element, 0};
  }
  if (item.index > std::numeric_limits<index_t>::max()) {
    return FieldError{what, true, element, item.index};
  }
  return std::nullopt;
}

// The first error of a curve object in the order the fields are checked: name, unknown
// fields, points, edges, insert. Fills in the default edges when `edges` is absent.
// Returns "" when the curve is sound.
std::string finish_curve(CurveState& curve) {
  std::string where = curve.position;
  auto const fail = [&where](std::string const& what) { return where + ": " + what; };
  if (curve.has_name) {
    if (!curve.name_error.empty()) return fail(curve.name_error);
    if (curve.is_input) where = "curve " + quote_text(curve.name) + " (" + curve.position + ")";
  } else if (curve.is_input) {
    return fail("missing field \"name\"");
  } else {
    curve.name = "background";
  }
  if (curve.has_unknown_field) return fail("unknown field " + quote_text(curve.unknown_field));
  if (!curve.has_points) return fail("missing field \"points\"");
  if (curve.points_error) return fail(message_of(*curve.points_error, curve.points.size()));
  if (!curve.has_edges) {
    for (std::size_t i = 1; i < curve.points.size(); ++i) {
      curve.edges.push_back({static_cast<index_t>(i - 1), static_cast<index_t>(i)});
    }
  } else if (curve.edges_error) {
    return fail(message_of(*curve.edges_error, curve.points.size()));
  }
  if (curve.has_insert && curve.insert_error) {
    return fail(message_of(*curve.insert_error, curve.edges.size()));
  }
  return {};
}

// Reads the JSON text straight into a `JobInput` through nlohmann's SAX interface: no
// document tree is built, so the reader holds the input's numbers and little else.
//
// Messages follow the order in which a document would be checked, whatever the order of
// the fields in the file: a syntax error anywhere first, then the top level (its type, an
// unknown field, "background" missing), the background, "curves", the first curve in
// error, then "remove" (its type, its first entry that is not a name). Data of curves after
// the first one in error is not kept.
class InputReader : public nlohmann::json_sax<json> {
 public:
  // Where a value lies: what the reader does with it.
  enum class Role {
    skip,       // ignored, only parsed
    top,        // the document object
    curve,      // the background or one input curve
    curves,     // the array of input curves
    points,     // a curve's "points"
    edges,      // a curve's "edges"
    edge_pair,  // one element of "edges"
    insert,     // a curve's "insert"
    remove,     // the top-level "remove"
  };

  explicit InputReader(std::string source) : source_{std::move(source)} {}

  // After a successful parse: the input, or the first error of the document.
  JobInput take_input() {
    auto const fail = [this](std::string const& what) {
      throw ToolError{EXIT_BAD_INPUT, source_ + ": " + what};
    };
    if (!top_error_.empty()) fail(top_error_);
    if (has_unknown_top_) fail("unknown field " + quote_text(unknown_top_));
    if (!has_background_) fail("missing field \"background\"");
    if (!background_error_.empty()) fail(background_error_);
    if (!has_curves_) fail("missing field \"curves\"");
    if (!curves_error_.empty()) fail(curves_error_);
    if (!first_curve_error_.empty()) fail(first_curve_error_);
    if (!remove_error_.empty()) fail(remove_error_);
    JobInput input;
    input.background = std::move(background_);
    input.curves = std::move(curves_);
    input.remove = std::move(remove_);
    return input;
  }

  // A number beyond the range of a double (nlohmann refuses it naming neither place nor
  // curve), reported at its field: "curve "A" (curves[0]): points[1] is not a finite
  // number (1e999)"; any other failure with nlohmann's own message.
  [[noreturn]] void throw_parse_failure() const {
    if (failure_overflow_) {
      auto const where = failure_place();
      throw ToolError{EXIT_BAD_INPUT, source_ + ": " + (where.empty() ? "" : where + ": ") +
                                          failure_field() + " is not a finite number (" +
                                          single_line(failure_token_, 60) + ")"};
    }
    // nlohmann's messages start with "[json.exception.parse_error.101] ".
    std::string_view message = failure_message_;
    if (auto const tag_end = message.find("] ");
        message.rfind("[json.", 0) == 0 && tag_end != std::string_view::npos) {
      message.remove_prefix(tag_end + 2);
    }
    throw ToolError{EXIT_BAD_INPUT, source_ + ": invalid JSON: " + single_line(message, 300)};
  }

  bool null() override { return scalar(json(nullptr)); }
  bool boolean(bool flag) override { return scalar(json(flag)); }
  bool number_integer(number_integer_t number) override { return scalar(json(number)); }
  bool number_unsigned(number_unsigned_t number) override {
    if (frames_.empty()) return scalar(json(number));
    auto& parent = frames_.back();
    // The hot paths: coordinates and indices.
    switch (parent.role) {
      case Role::points:
        push_point(static_cast<double>(number));
        return next_item();
      case Role::insert:
        read_insert_item(IndexItem{true, number, {}});
        return next_item();
      case Role::edge_pair:
        read_pair_item(IndexItem{true, number, {}});
        return next_item();
      default:
        return scalar(json(number));
    }
  }
  bool number_float(number_float_t number, string_t const&) override {
    if (!frames_.empty() && frames_.back().role == Role::points) {
      push_point(number);
      return next_item();
    }
    return scalar(json(number));
  }
  bool string(string_t& text) override {
    if (!frames_.empty() && frames_.back().role == Role::curve && key_ == "name") {
      auto& curve = current_curve();
      curve.has_name = true;
      curve.name = text;
      curve.name_error.clear();
      note_failure_name(&text);
      return next_item();
    }
    if (!frames_.empty() && frames_.back().role == Role::remove) {
      if (remove_error_.empty()) remove_.push_back(text);
      return next_item();
    }
    return scalar(json(text));
  }
  bool binary(binary_t&) override { return scalar(json(nullptr)); }

  bool start_object(std::size_t) override { return open(false); }
  bool start_array(std::size_t) override { return open(true); }
  bool key(string_t& value) override {
    key_ = value;
    return true;
  }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool parse_error(std::size_t, std::string const& last_token,
                   nlohmann::detail::exception const& error) override {
    failure_path_.clear();
    for (std::size_t i = 1; i < frames_.size(); ++i) failure_path_.push_back(frames_[i].segment);
    if (!frames_.empty()) failure_path_.push_back(next_segment());
    failure_in_curve_ = in_curve_element() && has_failure_name_;
    failure_token_ = last_token;
    failure_overflow_ = error.id == 406;
    failure_message_ = error.what();
    return false;
  }

 private:
  struct Frame {
    Role role;
    bool is_array;
    std::size_t count = 0;  // values read so far in this container
    std::string segment;    // where it sits in its parent: "points", "[3]"
  };

  CurveState& current_curve() { return in_background_ ? background_state_ : curve_state_; }

  std::string next_segment() const {
    auto const& frame = frames_.back();
    if (frame.is_array) return "[" + std::to_string(frame.count) + "]";
    return key_;
  }

  bool next_item() {
    if (!frames_.empty()) ++frames_.back().count;
    return true;
  }

  void push_point(double x) {
    auto& curve = current_curve();
    if (!curve.points_error) curve.points.push_back(x);
  }

  // Whether the innermost open container is an element of the top-level "curves".
  bool in_curve_element() const {
    return frames_.size() >= 3 && frames_[1].segment == "curves" && !frames_[2].is_array;
  }

  // The curve name parse failures mention: that of the open element of "curves", when its
  // "name" was last given a string. `text` is null for any other value of "name".
  void note_failure_name(std::string const* text) {
    if (frames_.size() == 3 && in_curve_element() && key_ == "name") {
      has_failure_name_ = text != nullptr;
      if (text != nullptr) failure_name_ = *text;
    }
  }

  // A scalar value where the parent container expects it.
  bool scalar(json const& value) {
    IndexItem item{false, 0, describe(value)};
    if (frames_.empty()) {
      top_error_ = "the top level must be an object, not " + item.description;
      return true;
    }
    if (!frames_.back().is_array) {
      note_failure_name(value.is_string() ? &value.get_ref<std::string const&>() : nullptr);
    }
    switch (frames_.back().role) {
      case Role::skip:
        break;
      case Role::top:
        top_field(nullptr, item.description);
        break;
      case Role::curve:
        curve_field(nullptr, item.description);
        break;
      case Role::curves:
        curve_not_object(item.description);
        break;
      case Role::points: {
        auto& curve = current_curve();
        if (value.is_number()) {
          push_point(value.get<double>());
        } else if (!curve.points_error) {
          curve.points_error = FieldError{"points[" + std::to_string(frames_.back().count) +
                                              "] must be a number, not " + item.description,
                                          false, nullptr, 0};
        }
        break;
      }
      case Role::edges:
        edge_not_pair(item.description);
        break;
      case Role::edge_pair:
        read_pair_item(std::move(item));
        break;
      case Role::insert:
        read_insert_item(std::move(item));
        break;
      case Role::remove:
        remove_not_name(item.description);
        break;
    }
    return next_item();
  }

  // A value of the top-level object; `role` is set to what a container there becomes.
  void top_field(Role* role, std::string const& description) {
    if (key_ == "background") {
      has_background_ = true;
      background_error_.clear();
      background_ = CurveData{};
      if (role != nullptr && description == "an object") {
        background_state_ = CurveState{};
        background_state_.position = "background";
        in_background_ = true;
        *role = Role::curve;
      } else {
        background_error_ = "background: must be an object, not " + description;
      }
    } else if (key_ == "curves") {
      has_curves_ = true;
      curves_error_.clear();
      first_curve_error_.clear();
      curves_.clear();
      if (role != nullptr && description == "an array") {
        *role = Role::curves;
      } else {
        curves_error_ = "field \"curves\" must be an array, not " + description;
      }
    } else if (key_ == "remove") {
      remove_error_.clear();
      remove_.clear();
      if (role != nullptr && description == "an array") {
        *role = Role::remove;
      } else {
        remove_error_ = "field \"remove\" must be an array of curve names, not " + description;
      }
    } else if (!has_unknown_top_ || key_ < unknown_top_) {
      has_unknown_top_ = true;
      unknown_top_ = key_;
    }
  }

  // An entry of "remove" that is not a string: the first one is reported.
  void remove_not_name(std::string const& description) {
    if (remove_error_.empty()) {
      remove_error_ = "remove[" + std::to_string(frames_.back().count) +
                      "] must be a curve name, not " + description;
      remove_.clear();
    }
  }

  // A value of a curve object (or of the background).
  void curve_field(Role* role, std::string const& description) {
    auto& curve = current_curve();
    bool const is_array = role != nullptr && description == "an array";
    if (key_ == "name") {
      curve.has_name = true;
      curve.name.clear();
      curve.name_error = "field \"name\" must be a string, not " + description;
    } else if (key_ == "points") {
      curve.reset_points();
      curve.has_points = true;
      if (is_array) {
        *role = Role::points;
      } else {
        curve.points_error = FieldError{
            "field \"points\" must be an array of numbers, not " + description, false, nullptr, 0};
      }
    } else if (key_ == "edges") {
      curve.reset_edges();
      curve.has_edges = true;
      if (is_array) {
        *role = Role::edges;
      } else {
        curve.edges_error =
            FieldError{"field \"edges\" must be an array of point index pairs, not " + description,
                       false, nullptr, 0};
      }
    } else if (key_ == "insert" && curve.is_input) {
      curve.reset_insert();
      curve.has_insert = true;
      if (is_array) {
        *role = Role::insert;
      } else {
        curve.insert_error =
            FieldError{"field \"insert\" must be an array of edge indices, not " + description,
                       false, nullptr, 0};
      }
    } else if (!curve.has_unknown_field || key_ < curve.unknown_field) {
      curve.has_unknown_field = true;
      curve.unknown_field = key_;
    }
  }

  void curve_not_object(std::string const& description) {
    if (first_curve_error_.empty()) {
      first_curve_error_ = "curves[" + std::to_string(frames_.back().count) +
                           "]: must be an object, not " + description;
    }
  }

  void edge_not_pair(std::string const& description) {
    auto& curve = current_curve();
    if (!curve.edges_error) {
      curve.edges_error =
          FieldError{"edges[" + std::to_string(frames_.back().count) +
                         "] must be an array of two point indices, not " + description,
                     false, nullptr, 0};
    }
  }

  void read_pair_item(IndexItem item) {
    auto& curve = current_curve();
    if (curve.pair_size < 2) curve.pair[curve.pair_size] = std::move(item);
    ++curve.pair_size;
  }

  void read_insert_item(IndexItem item) {
    auto& curve = current_curve();
    if (curve.insert_error) return;
    auto error = index_error(item, "insert[" + std::to_string(frames_.back().count) + "]", "edge");
    if (error) {
      curve.insert_error = std::move(error);
    } else {
      curve.insert.push_back(static_cast<index_t>(item.index));
    }
  }

  // The end of one element of "edges": its shape, then its two indices.
  void finish_pair(std::size_t position) {
    auto& curve = current_curve();
    if (curve.edges_error) return;
    auto const what = "edges[" + std::to_string(position) + "]";
    if (curve.pair_size != 2) {
      curve.edges_error =
          FieldError{what + " must be an array of two point indices, not an array of " +
                         std::to_string(curve.pair_size),
                     false, nullptr, 0};
      return;
    }
    for (std::size_t end = 0; end < 2; ++end) {
      if (auto error =
              index_error(curve.pair[end], what + "[" + std::to_string(end) + "]", "point")) {
        curve.edges_error = std::move(error);
        return;
      }
    }
    curve.edges.push_back(
        {static_cast<index_t>(curve.pair[0].index), static_cast<index_t>(curve.pair[1].index)});
  }

  bool open(bool is_array) {
    auto const description = describe_container(is_array);
    Role role = Role::skip;
    std::string segment;
    if (frames_.empty()) {
      if (is_array) {
        top_error_ = "the top level must be an object, not an array";
      } else {
        role = Role::top;
      }
    } else {
      auto& parent = frames_.back();
      segment = next_segment();
      if (!parent.is_array) note_failure_name(nullptr);
      switch (parent.role) {
        case Role::skip:
          break;
        case Role::top:
          top_field(&role, description);
          break;
        case Role::curve:
          curve_field(&role, description);
          break;
        case Role::curves:
          if (is_array) {
            curve_not_object(description);
          } else if (first_curve_error_.empty()) {
            // Curves after the first one in error are only parsed.
            curve_state_ = CurveState{};
            curve_state_.position = "curves[" + std::to_string(parent.count) + "]";
            curve_state_.is_input = true;
            in_background_ = false;
            role = Role::curve;
          }
          break;
        case Role::points: {
          auto& curve = current_curve();
          if (!curve.points_error) {
            curve.points_error = FieldError{
                "points[" + std::to_string(parent.count) + "] must be a number, not " + description,
                false, nullptr, 0};
          }
          break;
        }
        case Role::edges:
          if (is_array) {
            current_curve().pair_size = 0;
            role = Role::edge_pair;
          } else {
            edge_not_pair(description);
          }
          break;
        case Role::edge_pair:
          read_pair_item(IndexItem{false, 0, description});
          break;
        case Role::insert:
          read_insert_item(IndexItem{false, 0, description});
          break;
        case Role::remove:
          remove_not_name(description);
          break;
      }
    }
    // A new element of "curves": no name read yet.
    if (frames_.size() == 2 && frames_[1].segment == "curves") has_failure_name_ = false;
    frames_.push_back(Frame{role, is_array, 0, std::move(segment)});
    return true;
  }

  bool close() {
    auto const frame = std::move(frames_.back());
    frames_.pop_back();
    if (frame.role == Role::edge_pair) {
      finish_pair(frames_.back().count);
    } else if (frame.role == Role::curve) {
      auto& curve = current_curve();
      auto error = finish_curve(curve);
      CurveData data{std::move(curve.name), std::move(curve.points), std::move(curve.edges),
                     std::nullopt};
      if (curve.has_insert) data.insert = std::move(curve.insert);
      if (in_background_) {
        background_error_ = std::move(error);
        background_ = std::move(data);
        in_background_ = false;
      } else if (!error.empty()) {
        first_curve_error_ = std::move(error);
        curves_.clear();
      } else {
        curves_.push_back(std::move(data));
      }
    }
    return next_item();
  }

  // The part of the document a parse failure lies in: "background", `curve "A"
  // (curves[0])` (or "curves[0]" before the name was read), or "" at the top level.
  std::string failure_place() const {
    auto const& path = failure_path_;
    if (!path.empty() && path[0] == "background") return "background";
    if (path.size() >= 2 && path[0] == "curves") {
      auto const position = "curves" + path[1];
      if (!failure_in_curve_) return position;
      return "curve " + quote_text(failure_name_) + " (" + position + ")";
    }
    return "";
  }

  // The failing field below that part: "points[1]".
  std::string failure_field() const {
    auto const& path = failure_path_;
    std::size_t first = 0;
    if (!path.empty() && path[0] == "background") first = 1;
    if (path.size() >= 2 && path[0] == "curves") first = 2;
    std::string field;
    for (auto i = first; i < path.size(); ++i) {
      if (!field.empty() && path[i][0] != '[') field += '.';
      field += path[i];
    }
    return field;
  }

  std::string source_;
  std::vector<Frame> frames_;
  std::string key_;

  std::string top_error_;
  bool has_unknown_top_ = false;
  std::string unknown_top_;
  bool has_background_ = false;
  std::string background_error_;
  bool has_curves_ = false;
  std::string curves_error_;
  std::string first_curve_error_;
  // The names of "remove", or the error of its first entry that is not a string.
  std::vector<std::string> remove_;
  std::string remove_error_;

  bool in_background_ = false;
  CurveState background_state_;
  CurveState curve_state_;
  CurveData background_;
  std::vector<CurveData> curves_;

  // The name of the open curve, for messages on parse failures.
  bool has_failure_name_ = false;
  std::string failure_name_;
  bool failure_in_curve_ = false;
  std::vector<std::string> failure_path_;
  std::string failure_token_;
  bool failure_overflow_ = false;
  std::string failure_message_;
};

void check_curve(CurveData const& curve, std::string const& source, std::string const& where) {
  auto const fail = [&](std::string const& what) {
    throw ToolError{EXIT_BAD_INPUT, source + ": " + where + ": " + what};
  };
  for (std::size_t i = 0; i < curve.points.size(); ++i) {
    if (!std::isfinite(curve.points[i])) {
      fail("points[" + std::to_string(i) + "] is not a finite number (" +
           format_number(curve.points[i]) + ")");
    }
  }
  auto const nb_points = curve.points.size();
  for (std::size_t i = 0; i < curve.edges.size(); ++i) {
    auto const& edge = curve.edges[i];
    for (std::size_t end = 0; end < 2; ++end) {
      if (edge[end] >= nb_points) {
        fail(names_missing("edges[" + std::to_string(i) + "][" + std::to_string(end) + "]", "point",
                           std::to_string(edge[end]), nb_points));
      }
    }
    if (edge[0] == edge[1]) {
      fail("edges[" + std::to_string(i) + "] joins point " + std::to_string(edge[0]) +
           " to itself");
    }
  }
  if (curve.insert) {
    for (std::size_t i = 0; i < curve.insert->size(); ++i) {
      auto const edge = (*curve.insert)[i];
      if (edge >= curve.edges.size()) {
        fail(names_missing("insert[" + std::to_string(i) + "]", "edge", std::to_string(edge),
                           curve.edges.size()));
      }
    }
  }
}

}  // namespace

std::string curve_label(JobInput const& input, std::size_t curve) {
  return "curve " + quote_text(input.curves[curve].name) + " (curves[" + std::to_string(curve) +
         "])";
}

void check_input(JobInput const& input, std::string const& source) {
  if (input.background.points.empty() || input.background.edges.empty()) {
    throw ToolError{EXIT_BAD_INPUT, source + ": background: the background is empty (" +
                                        std::to_string(input.background.points.size()) +
                                        " points, " +
                                        std::to_string(input.background.edges.size()) +
                                        " edges); it needs at least one edge"};
  }
  check_curve(input.background, source, "background");
  std::map<std::string, std::size_t> names;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    auto const& name = input.curves[i].name;
    auto const position = "curves[" + std::to_string(i) + "]";
    if (name.empty()) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the name must not be empty"};
    }
    auto const [found, added] = names.emplace(name, i);
    if (!added) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the name " + quote_text(name) +
                                          " is already used by curves[" +
                                          std::to_string(found->second) + "]"};
    }
    check_curve(input.curves[i], source, curve_label(input, i));
  }
  std::map<std::string, std::size_t> removed;
  for (std::size_t i = 0; i < input.remove.size(); ++i) {
    auto const& name = input.remove[i];
    auto const position = "remove[" + std::to_string(i) + "]";
    if (names.count(name) == 0) {
      throw ToolError{EXIT_BAD_INPUT,
                      source + ": " + position + ": no curve is named " + quote_text(name)};
    }
    auto const [found, added] = removed.emplace(name, i);
    if (!added) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the curve " + quote_text(name) +
                                          " is already removed by remove[" +
                                          std::to_string(found->second) + "]"};
    }
  }
}

JobInput read_input(std::filesystem::path const& file) {
  auto const source = file.string();
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    throw ToolError{EXIT_BAD_INPUT, source + ": cannot read the file: it is a directory"};
  }
  std::ifstream stream{file, std::ios::binary};
  if (!stream) {
    throw ToolError{EXIT_BAD_INPUT, source + ": cannot read the file: " + std::strerror(errno)};
  }
  std::string content;
  {
    std::ostringstream buffer;
    buffer << stream.rdbuf();
    if (stream.bad()) {
      throw ToolError{EXIT_BAD_INPUT, source + ": cannot read the file: " + std::strerror(errno)};
    }
    content = std::move(buffer).str();
  }
  if (content.find_first_not_of(" \t\r\n") == std::string::npos) {
    throw ToolError{EXIT_BAD_INPUT, source + ": the file is empty"};
  }
  InputReader reader{source};
  if (!json::sax_parse(content, &reader)) reader.throw_parse_failure();
  content = std::string{};
  auto input = reader.take_input();
  check_input(input, source);
  return input;
}

}  // namespace velk::tool
