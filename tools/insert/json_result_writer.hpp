// Streams the result document of a background line (schema in docs/format.md, "Output
// JSON") straight to a stream, one record at a time: nothing but the record being written
// and a small buffer is held, however large the document.
//
//   velk::tool::JsonResultWriter writer{out, {"well-1", "well-2"}};
//   writer.begin_background("section");
//   writer.begin_vertex(0, 0.0, false);
//   writer.macro_vertex(0, 1);           // curve 0 ("well-1"), input vertex 1
//   writer.end_vertex();
//   writer.begin_edge(0, {0, 1});
//   writer.macro_element(1, 0);          // curve 1 ("well-2"), input edge 0
//   writer.end_edge();
//   writer.begin_curve(0);
//   writer.report_entry(0, "inserted");
//   writer.path(0, std::array<index_t, 2>{0, 1}, chain, "");
//   writer.end_curve();
//   writer.finish();
//
// The calls must come in document order: the background's vertices, then its edges, then
// the curves, each with its report entries before its paths, then (optionally) the skipped
// curves. Text is the same, byte for byte, as nlohmann::ordered_json would print for each
// record: numbers in nlohmann's shortest form ("5.0", "1e-09"), strings escaped as its
// `dump` escapes them (invalid UTF-8 replaced).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <absl/types/span.h>

#include <basic/common.hpp>
#include <velk/background_line/element_removal_info.hpp>

namespace velk::tool {

class JsonResultWriter {
 public:
  // `curve_names`: the names that macro entries and curves refer to by position.
  JsonResultWriter(std::ostream& out, std::vector<std::string> const& curve_names);
  // Flushes what is buffered; does not finish the document.
  ~JsonResultWriter();
  JsonResultWriter(JsonResultWriter const&) = delete;
  JsonResultWriter& operator=(JsonResultWriter const&) = delete;

  void begin_background(std::string_view name);

  // One background vertex: its index and coordinate, then its macro vertices in order.
  void begin_vertex(index_t index, double x, bool created_by_split);
  void macro_vertex(std::size_t curve, index_t vertex);
  void end_vertex();

  // One background edge, after every vertex: its index and vertices, then the input edges
  // it carries in order.
  void begin_edge(index_t index, std::array<index_t, 2> const& vertices);
  void macro_element(std::size_t curve, index_t edge);
  void end_edge();

  // One input curve, after the background: the counts of its removal when `removed` is
  // given, then its report entries, then its paths (a removed curve has none).
  void begin_curve(std::size_t curve,
                   std::optional<internal::ElementRemovalInfo> const& removed = std::nullopt);
  void report_entry(index_t edge, std::string_view status);
  // `vertices` and `path` are null when absent; `error` appears only when not empty.
  void path(index_t edge, std::optional<std::array<index_t, 2>> const& vertices,
            std::optional<absl::Span<index_t const>> const& path, std::string_view error);
  void end_curve();

  // A curve left out of the insertion, after the curves: the "skipped" list appears once
  // this is called, even with no entry (`begin_skipped` alone gives an empty list).
  void begin_skipped();
  void skipped(std::size_t curve, std::string_view reason);

  // Closes the document and flushes it.
  void finish();

 private:
  enum class State { start, vertices, edges, curves, report, paths, skipped, done };

  // Moves on to `next`, closing the lists left behind.
  void advance(State next);
  // Opens an item of the current list: the separator, then the indentation.
  void open_item(char const* indent);
  // Closes the list being written: `]` on its own line (or straight after `[` when empty).
  void close_list(char const* indent);

  void put(std::string_view text);
  void put(char c);
  void put_index(std::uint64_t value);
  void put_string(std::string_view text);
  void put_double(double value);
  void flush();

  std::ostream& out_;
  std::string buffer_;
  // Per curve: `{"curve":NAME,"vertex":` and `{"curve":NAME,"edge":`, ready to copy.
  std::vector<std::string> vertex_prefix_;
  std::vector<std::string> edge_prefix_;
  std::vector<std::string> quoted_names_;
  State state_ = State::start;
  bool list_empty_ = true;    // no item yet in the list being written
  bool macro_empty_ = true;   // no entry yet in the record's macro list
  bool curves_empty_ = true;  // no curve yet in "curves"
};

}  // namespace velk::tool
