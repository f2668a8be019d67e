#include "insert/input.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/text.hpp"
#include "common/tool_error.hpp"
#include "insert/curve_fields.hpp"

namespace velk::tool {
namespace {

using nlohmann::json;

// Longest JSON text of an offending value quoted in a message.
constexpr std::size_t MAX_QUOTED_VALUE = 40;

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
        current_curve().point(static_cast<double>(number));
        return next_item();
      case Role::insert:
        current_curve().insert_item(parent.count, IndexItem{true, number, {}});
        return next_item();
      case Role::edge_pair:
        current_curve().pair_item(IndexItem{true, number, {}});
        return next_item();
      default:
        return scalar(json(number));
    }
  }
  bool number_float(number_float_t number, string_t const&) override {
    if (!frames_.empty() && frames_.back().role == Role::points) {
      current_curve().point(number);
      return next_item();
    }
    return scalar(json(number));
  }
  bool string(string_t& text) override {
    if (!frames_.empty() && frames_.back().role == Role::curve && key_ == "name") {
      current_curve().name(text);
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

  CurveFields& current_curve() { return in_background_ ? background_state_ : curve_state_; }

  std::string next_segment() const {
    auto const& frame = frames_.back();
    if (frame.is_array) return "[" + std::to_string(frame.count) + "]";
    return key_;
  }

  bool next_item() {
    if (!frames_.empty()) ++frames_.back().count;
    return true;
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
      case Role::points:
        if (value.is_number()) {
          current_curve().point(value.get<double>());
        } else {
          current_curve().point_not_number(frames_.back().count, item.description);
        }
        break;
      case Role::edges:
        current_curve().edge_not_pair(frames_.back().count, item.description);
        break;
      case Role::edge_pair:
        current_curve().pair_item(std::move(item));
        break;
      case Role::insert:
        current_curve().insert_item(frames_.back().count, item);
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
        background_state_ = CurveFields{"background", false};
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
    auto const list =
        current_curve().field(key_, role != nullptr && description == "an array", description);
    if (list == CurveFields::List::points) *role = Role::points;
    if (list == CurveFields::List::edges) *role = Role::edges;
    if (list == CurveFields::List::insert) *role = Role::insert;
  }

  void curve_not_object(std::string const& description) {
    if (first_curve_error_.empty()) {
      first_curve_error_ = "curves[" + std::to_string(frames_.back().count) +
                           "]: must be an object, not " + description;
    }
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
            curve_state_ = CurveFields{"curves[" + std::to_string(parent.count) + "]", true};
            in_background_ = false;
            role = Role::curve;
          }
          break;
        case Role::points:
          current_curve().point_not_number(parent.count, description);
          break;
        case Role::edges:
          if (is_array) {
            current_curve().start_pair();
            role = Role::edge_pair;
          } else {
            current_curve().edge_not_pair(parent.count, description);
          }
          break;
        case Role::edge_pair:
          current_curve().pair_item(IndexItem{false, 0, description});
          break;
        case Role::insert:
          current_curve().insert_item(parent.count, IndexItem{false, 0, description});
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
      current_curve().finish_pair(frames_.back().count);
    } else if (frame.role == Role::curve) {
      auto& curve = current_curve();
      auto error = curve.finish();
      auto data = curve.take();
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
  CurveFields background_state_;
  CurveFields curve_state_;
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

}  // namespace

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
