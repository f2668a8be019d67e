#include "insert/json_result_writer.hpp"

#include <charconv>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace velk::tool {
namespace {

using nlohmann::ordered_json;

// Bytes gathered before they go to the stream.
constexpr std::size_t BUFFER_SIZE = std::size_t{1} << 16;

// Indentation of the items of each list.
constexpr char const* BACKGROUND_ITEM = "      ";
constexpr char const* CURVE_ITEM = "        ";
constexpr char const* SKIPPED_ITEM = "    ";

// Compact JSON text of one value, as nlohmann prints it; invalid UTF-8 (impossible from a
// parsed file, possible from a caller) is replaced rather than thrown on.
std::string compact(ordered_json const& value) {
  return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

}  // namespace

JsonResultWriter::JsonResultWriter(std::ostream& out, std::vector<std::string> const& curve_names)
    : out_{out} {
  buffer_.reserve(BUFFER_SIZE + 256);
  for (auto const& name : curve_names) {
    auto quoted = compact(name);
    vertex_prefix_.push_back("{\"curve\":" + quoted + ",\"vertex\":");
    edge_prefix_.push_back("{\"curve\":" + quoted + ",\"edge\":");
    quoted_names_.push_back(std::move(quoted));
  }
}

JsonResultWriter::~JsonResultWriter() {
  try {
    flush();
  } catch (...) {
    // The stream reports its own failure; a destructor must not throw.
  }
}

void JsonResultWriter::put(std::string_view text) {
  buffer_.append(text.data(), text.size());
  if (buffer_.size() >= BUFFER_SIZE) flush();
}

void JsonResultWriter::put(char c) {
  buffer_.push_back(c);
  if (buffer_.size() >= BUFFER_SIZE) flush();
}

void JsonResultWriter::put_index(std::uint64_t value) {
  char digits[24];
  auto const end = std::to_chars(digits, digits + sizeof(digits), value).ptr;
  put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void JsonResultWriter::put_string(std::string_view text) { put(compact(std::string{text})); }

void JsonResultWriter::put_double(double value) { put(compact(value)); }

void JsonResultWriter::flush() {
  if (buffer_.empty()) return;
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void JsonResultWriter::open_item(char const* indent) {
  put(list_empty_ ? "\n" : ",\n");
  put(indent);
  list_empty_ = false;
}

void JsonResultWriter::close_list(char const* indent) {
  if (list_empty_) {
    put(']');
  } else {
    put('\n');
    put(indent);
    put(']');
  }
}

void JsonResultWriter::advance(State next) {
  if (state_ == State::report || state_ == State::paths) end_curve();
  while (state_ < next) {
    switch (state_) {
      case State::start:
        throw std::logic_error{"JsonResultWriter: begin_background must come first"};
      case State::vertices:
        close_list("    ");
        put(",\n    \"edges\": [");
        list_empty_ = true;
        state_ = State::edges;
        break;
      case State::edges:
        close_list("    ");
        put("\n  },\n  \"curves\": [");
        curves_empty_ = true;
        state_ = State::curves;
        break;
      case State::curves:
        put(curves_empty_ ? "]" : "\n  ]");
        put(",\n  \"skipped\": [");
        list_empty_ = true;
        state_ = State::skipped;
        break;
      default:
        throw std::logic_error{"JsonResultWriter: calls out of document order"};
    }
  }
  if (state_ != next) throw std::logic_error{"JsonResultWriter: calls out of document order"};
}

void JsonResultWriter::begin_background(std::string_view name) {
  if (state_ != State::start) throw std::logic_error{"JsonResultWriter: background given twice"};
  put("{\n  \"background\": {\n    \"name\": ");
  put_string(name);
  put(",\n    \"vertices\": [");
  list_empty_ = true;
  state_ = State::vertices;
}

void JsonResultWriter::begin_vertex(index_t index, double x, bool created_by_split) {
  advance(State::vertices);
  open_item(BACKGROUND_ITEM);
  put("{\"index\":");
  put_index(index);
  put(",\"x\":");
  put_double(x);
  put(created_by_split ? ",\"created_by_split\":true,\"macro_vertices\":["
                       : ",\"created_by_split\":false,\"macro_vertices\":[");
  macro_empty_ = true;
}

void JsonResultWriter::macro_vertex(std::size_t curve, index_t vertex) {
  if (!macro_empty_) put(',');
  macro_empty_ = false;
  put(vertex_prefix_.at(curve));
  put_index(vertex);
  put('}');
}

void JsonResultWriter::end_vertex() { put("]}"); }

void JsonResultWriter::begin_edge(index_t index, std::array<index_t, 2> const& vertices) {
  advance(State::edges);
  open_item(BACKGROUND_ITEM);
  put("{\"index\":");
  put_index(index);
  put(",\"vertices\":[");
  put_index(vertices[0]);
  put(',');
  put_index(vertices[1]);
  put("],\"macro_elements\":[");
  macro_empty_ = true;
}

void JsonResultWriter::macro_element(std::size_t curve, index_t edge) {
  if (!macro_empty_) put(',');
  macro_empty_ = false;
  put(edge_prefix_.at(curve));
  put_index(edge);
  put('}');
}

void JsonResultWriter::end_edge() { put("]}"); }

void JsonResultWriter::begin_curve(std::size_t curve,
                                   std::optional<internal::ElementRemovalInfo> const& removed) {
  advance(State::curves);
  put(curves_empty_ ? "\n" : ",\n");
  curves_empty_ = false;
  put("    {\n      \"name\": ");
  put(quoted_names_.at(curve));
  if (removed) {
    put(",\n      \"removed\": {\"macro_vertices_removed\":");
    put_index(removed->macro_vertices_removed);
    put(",\"macro_elements_removed\":");
    put_index(removed->macro_elements_removed);
    put(",\"vertices_merged\":");
    put_index(removed->vertices_merged);
    put('}');
  }
  put(",\n      \"report\": [");
  list_empty_ = true;
  state_ = State::report;
}

void JsonResultWriter::report_entry(index_t edge, std::string_view status) {
  if (state_ != State::report)
    throw std::logic_error{"JsonResultWriter: report entry out of order"};
  open_item(CURVE_ITEM);
  put("{\"edge\":");
  put_index(edge);
  put(",\"status\":");
  put_string(status);
  put('}');
}

void JsonResultWriter::path(index_t edge, std::optional<std::array<index_t, 2>> const& vertices,
                            std::optional<absl::Span<index_t const>> const& path,
                            std::string_view error) {
  if (state_ == State::report) {
    close_list("      ");
    put(",\n      \"paths\": [");
    list_empty_ = true;
    state_ = State::paths;
  }
  if (state_ != State::paths) throw std::logic_error{"JsonResultWriter: path out of order"};
  open_item(CURVE_ITEM);
  put("{\"edge\":");
  put_index(edge);
  if (vertices) {
    put(",\"vertices\":[");
    put_index((*vertices)[0]);
    put(',');
    put_index((*vertices)[1]);
    put(']');
  } else {
    put(",\"vertices\":null");
  }
  if (path) {
    put(",\"path\":[");
    bool first = true;
    for (auto const background_edge : *path) {
      if (!first) put(',');
      first = false;
      put_index(background_edge);
    }
    put(']');
  } else {
    put(",\"path\":null");
  }
  if (!error.empty()) {
    put(",\"error\":");
    put_string(error);
  }
  put('}');
}

void JsonResultWriter::end_curve() {
  if (state_ == State::report) {
    close_list("      ");
    put(",\n      \"paths\": [");
    list_empty_ = true;
    state_ = State::paths;
  }
  if (state_ != State::paths) throw std::logic_error{"JsonResultWriter: end_curve out of order"};
  close_list("      ");
  put("\n    }");
  state_ = State::curves;
}

void JsonResultWriter::begin_skipped() { advance(State::skipped); }

void JsonResultWriter::skipped(std::size_t curve, std::string_view reason) {
  advance(State::skipped);
  open_item(SKIPPED_ITEM);
  put("{\"curve\":");
  put(quoted_names_.at(curve));
  put(",\"index\":");
  put_index(curve);
  put(",\"reason\":");
  put_string(reason);
  put('}');
}

void JsonResultWriter::finish() {
  if (state_ == State::done) return;
  if (state_ != State::skipped) {
    advance(State::curves);
    put(curves_empty_ ? "]" : "\n  ]");
  } else {
    close_list("  ");
  }
  put("\n}\n");
  state_ = State::done;
  flush();
}

}  // namespace velk::tool
