#include "input.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <sstream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "text.hpp"
#include "tool_error.hpp"

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

// Reads the JSON document of one file into a `JobInput`, failing with messages that name
// the file (`source`), the curve and the offending value.
class JsonReader {
 public:
  explicit JsonReader(std::string source) : source_{std::move(source)} {}

  JobInput read(json const& document) const {
    if (!document.is_object()) {
      fail("", "the top level must be an object, not " + describe(document));
    }
    check_fields(document, "", {"background", "curves", "remove"});
    JobInput input;
    input.background = read_curve(required(document, "background", ""), "background", false);
    auto const& curves = required(document, "curves", "");
    if (!curves.is_array()) fail("", "field \"curves\" must be an array, not " + describe(curves));
    for (std::size_t i = 0; i < curves.size(); ++i) {
      input.curves.push_back(read_curve(curves[i], "curves[" + std::to_string(i) + "]", true));
    }
    if (auto const remove = document.find("remove"); remove != document.end()) {
      if (!remove->is_array()) {
        fail("", "field \"remove\" must be an array of curve names, not " + describe(*remove));
      }
      for (std::size_t i = 0; i < remove->size(); ++i) {
        auto const& name = (*remove)[i];
        if (!name.is_string()) {
          fail("", "remove[" + std::to_string(i) + "] must be a curve name, not " + describe(name));
        }
        input.remove.push_back(name.get<std::string>());
      }
    }
    return input;
  }

 private:
  [[noreturn]] void fail(std::string const& where, std::string const& what) const {
    throw ToolError{EXIT_BAD_INPUT, source_ + ": " + (where.empty() ? "" : where + ": ") + what};
  }

  // "a string (\"abc\")", "an object", "null": the JSON type of `value`, with the value
  // itself when it is short and scalar.
  static std::string describe(json const& value) {
    std::string const type = value.type_name();
    std::string article = type == "array" || type == "object" ? "an " : "a ";
    if (value.is_null()) return "null";
    if (value.is_structured()) return article + type;
    auto text = value.dump(-1, ' ', true, json::error_handler_t::replace);
    if (utf8_length(text) > MAX_QUOTED_VALUE) text = shortened(text, MAX_QUOTED_VALUE);
    return article + type + " (" + text + ")";
  }

  json const& required(json const& object, char const* field, std::string const& where) const {
    auto const found = object.find(field);
    if (found == object.end()) fail(where, std::string{"missing field \""} + field + "\"");
    return *found;
  }

  void check_fields(json const& object, std::string const& where,
                    std::initializer_list<std::string_view> known) const {
    for (auto const& item : object.items()) {
      bool found = false;
      for (auto const field : known) found = found || item.key() == field;
      if (!found) fail(where, "unknown field " + quote_text(item.key()));
    }
  }

  // `value` as a point or edge index; `what` names it in messages ("edges[1][0]"). Whether
  // the index names an existing element is `check_input`'s test; one too large for an index
  // fails here with the same message.
  index_t read_index(json const& value, std::string const& where, std::string const& what,
                     char const* element, std::size_t count) const {
    if (value.is_number_unsigned()) {
      auto const index = value.get<std::uint64_t>();
      if (index > std::numeric_limits<index_t>::max()) {
        fail(where, names_missing(what, element, std::to_string(index), count));
      }
      return static_cast<index_t>(index);
    }
    fail(where, what + " must be a non-negative integer, not " + describe(value));
  }

  CurveData read_curve(json const& value, std::string const& position, bool is_input) const {
    if (!value.is_object()) fail(position, "must be an object, not " + describe(value));
    CurveData curve;
    std::string where = position;
    auto const name = value.find("name");
    if (name != value.end()) {
      if (!name->is_string())
        fail(where, "field \"name\" must be a string, not " + describe(*name));
      curve.name = name->get<std::string>();
      where = is_input ? "curve " + quote_text(curve.name) + " (" + position + ")" : position;
    } else if (is_input) {
      fail(where, "missing field \"name\"");
    } else {
      curve.name = "background";
    }
    if (is_input) {
      check_fields(value, where, {"name", "points", "edges", "insert"});
    } else {
      check_fields(value, where, {"name", "points", "edges"});
    }

    auto const& points = required(value, "points", where);
    if (!points.is_array()) {
      fail(where, "field \"points\" must be an array of numbers, not " + describe(points));
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (!points[i].is_number()) {
        fail(where,
             "points[" + std::to_string(i) + "] must be a number, not " + describe(points[i]));
      }
      curve.points.push_back(points[i].get<double>());
    }

    auto const edges = value.find("edges");
    if (edges == value.end()) {
      for (std::size_t i = 1; i < curve.points.size(); ++i) {
        curve.edges.push_back({static_cast<index_t>(i - 1), static_cast<index_t>(i)});
      }
    } else {
      if (!edges->is_array()) {
        fail(where,
             "field \"edges\" must be an array of point index pairs, not " + describe(*edges));
      }
      for (std::size_t i = 0; i < edges->size(); ++i) {
        auto const& edge = (*edges)[i];
        auto const what = "edges[" + std::to_string(i) + "]";
        if (!edge.is_array() || edge.size() != 2) {
          fail(where, what + " must be an array of two point indices, not " +
                          (edge.is_array() ? "an array of " + std::to_string(edge.size())
                                           : describe(edge)));
        }
        curve.edges.push_back(
            {read_index(edge[0], where, what + "[0]", "point", curve.points.size()),
             read_index(edge[1], where, what + "[1]", "point", curve.points.size())});
      }
    }

    auto const insert = value.find("insert");
    if (insert != value.end()) {
      if (!insert->is_array()) {
        fail(where, "field \"insert\" must be an array of edge indices, not " + describe(*insert));
      }
      std::vector<index_t> indices;
      for (std::size_t i = 0; i < insert->size(); ++i) {
        indices.push_back(read_index((*insert)[i], where, "insert[" + std::to_string(i) + "]",
                                     "edge", curve.edges.size()));
      }
      curve.insert = std::move(indices);
    }
    return curve;
  }

  std::string source_;
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

// Builds the document like nlohmann's own parser while keeping the path to the value being
// read, so that a number too large for a double (which nlohmann refuses with a message
// naming neither place nor curve) is reported at its field: "curves[0]" plus "points[1]".
class PathTrackingBuilder : public nlohmann::json_sax<json> {
 public:
  struct Failure {
    std::vector<std::string> path;  // "curves", "[0]", "points", "[1]"
    std::string token;
    std::string curve_name;  // when the failing value sits in a curve whose name was read
    bool number_overflow;
    std::string message;
  };

  json& document() { return root_; }
  Failure const& failure() const { return failure_; }

  bool null() override { return value(nullptr); }
  bool boolean(bool flag) override { return value(flag); }
  bool number_integer(number_integer_t number) override { return value(number); }
  bool number_unsigned(number_unsigned_t number) override { return value(number); }
  bool number_float(number_float_t number, string_t const&) override { return value(number); }
  bool string(string_t& text) override { return value(text); }
  bool binary(binary_t& data) override { return value(json::binary(data)); }
  bool start_object(std::size_t) override { return open(json::object()); }
  bool start_array(std::size_t) override { return open(json::array()); }
  bool key(string_t& value) override {
    key_ = value;
    return true;
  }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool parse_error(std::size_t, std::string const& last_token,
                   nlohmann::detail::exception const& error) override {
    failure_.path = segments_;
    if (!open_.empty()) failure_.path.push_back(next_segment());
    failure_.token = last_token;
    failure_.number_overflow = error.id == 406;
    failure_.message = error.what();
    // The curve object is the third open container: document, "curves", curves[i].
    if (segments_.size() >= 2 && segments_[0] == "curves" && open_.size() >= 3 &&
        open_[2]->is_object()) {
      auto const name = open_[2]->find("name");
      if (name != open_[2]->end() && name->is_string()) {
        failure_.curve_name = name->get<std::string>();
      }
    }
    return false;
  }

 private:
  std::string next_segment() const {
    if (open_.back()->is_array()) return "[" + std::to_string(open_.back()->size()) + "]";
    return key_;
  }

  // Places `item` in the open container (or as the document) and returns where it lives.
  json* insert(json item) {
    if (open_.empty()) {
      root_ = std::move(item);
      return &root_;
    }
    auto& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(item));
      return &parent.back();
    }
    auto& slot = parent[key_];
    slot = std::move(item);
    return &slot;
  }

  bool value(json item) {
    insert(std::move(item));
    return true;
  }

  bool open(json container) {
    if (!open_.empty()) segments_.push_back(next_segment());
    // An open container is never moved: its parent grows only after it closes.
    open_.push_back(insert(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    if (!open_.empty()) segments_.pop_back();
    return true;
  }

  json root_;
  std::vector<json*> open_;
  std::vector<std::string> segments_;
  std::string key_;
  Failure failure_{};
};

using Failure = PathTrackingBuilder::Failure;

// The part of the document a failure lies in: "background", `curve "A" (curves[0])` (or
// "curves[0]" before the name was read), or "" at the top level.
std::string failure_place(Failure const& failure) {
  auto const& path = failure.path;
  if (!path.empty() && path[0] == "background") return "background";
  if (path.size() >= 2 && path[0] == "curves") {
    auto const position = "curves" + path[1];
    if (failure.curve_name.empty()) return position;
    return "curve " + quote_text(failure.curve_name) + " (" + position + ")";
  }
  return "";
}

// The failing field below that part: "points[1]".
std::string failure_field(Failure const& failure) {
  auto const& path = failure.path;
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
  std::ostringstream content;
  content << stream.rdbuf();
  if (stream.bad()) {
    throw ToolError{EXIT_BAD_INPUT, source + ": cannot read the file: " + std::strerror(errno)};
  }
  if (content.str().find_first_not_of(" \t\r\n") == std::string::npos) {
    throw ToolError{EXIT_BAD_INPUT, source + ": the file is empty"};
  }
  PathTrackingBuilder builder;
  if (!json::sax_parse(content.str(), &builder)) {
    auto const& failure = builder.failure();
    if (failure.number_overflow) {
      // Only a number literal beyond the range of a double overflows.
      auto const where = failure_place(failure);
      throw ToolError{EXIT_BAD_INPUT, source + ": " + (where.empty() ? "" : where + ": ") +
                                          failure_field(failure) + " is not a finite number (" +
                                          single_line(failure.token, 60) + ")"};
    }
    // nlohmann's messages start with "[json.exception.parse_error.101] ".
    std::string_view message = failure.message;
    if (auto const tag_end = message.find("] ");
        message.rfind("[json.", 0) == 0 && tag_end != std::string_view::npos) {
      message.remove_prefix(tag_end + 2);
    }
    throw ToolError{EXIT_BAD_INPUT, source + ": invalid JSON: " + single_line(message, 300)};
  }
  auto const& document = builder.document();
  auto input = JsonReader{source}.read(document);
  check_input(input, source);
  return input;
}

}  // namespace velk::tool
