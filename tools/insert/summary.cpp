#include <algorithm>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "common/text.hpp"
#include "insert/writers.hpp"

namespace velk::tool {
namespace {

using Row = std::vector<std::string>;

// A name on one line, so that a name holding line breaks cannot break the table.
std::string display_name(std::string const& name) { return single_line(name, name.size()); }

// Prints `nb_rows` rows as columns padded to their widest cell, indented by two spaces.
// `row(i, with_last)` makes row i; the last column is never padded, so the first pass,
// which measures the widths, asks for the rows without it (`with_last` false: its cell
// may be left empty) and only the second, which prints them, with it. Rows are made one
// at a time: a table of any length is printed in the memory of one row.
void print_table(std::ostream& out, std::size_t nb_rows,
                 std::function<Row(std::size_t, bool)> const& row) {
  std::vector<std::size_t> widths;
  for (std::size_t i = 0; i < nb_rows; ++i) {
    auto const cells = row(i, false);
    if (widths.size() < cells.size()) widths.resize(cells.size(), 0);
    for (std::size_t c = 0; c + 1 < cells.size(); ++c) {
      widths[c] = std::max(widths[c], utf8_length(cells[c]));
    }
  }
  for (std::size_t i = 0; i < nb_rows; ++i) {
    auto const cells = row(i, true);
    std::string line = " ";
    for (std::size_t c = 0; c < cells.size(); ++c) {
      line += ' ';
      line += cells[c];
      if (c + 1 < cells.size()) line.append(widths[c] - utf8_length(cells[c]) + 1, ' ');
    }
    out << line << '\n';
  }
}

// "well-A:1, well-B:0 (2 times)": each input element once, in order of first appearance.
class MacroText {
 public:
  MacroText(JobInput const& input, bool with_input_x) : input_{input}, with_x_{with_input_x} {}

  void add(MacroRef const& ref) {
    auto const key = (static_cast<std::uint64_t>(ref.curve) << 32U) | ref.element;
    auto const [found, added] = position_.try_emplace(key, counted_.size());
    if (added) {
      counted_.emplace_back(ref, 1);
    } else {
      ++counted_[found->second].second;
    }
  }

  std::string text() const {
    if (counted_.empty()) return "-";
    std::string text;
    for (auto const& [ref, count] : counted_) {
      if (!text.empty()) text += ", ";
      text += display_name(input_.curves[ref.curve].name) + ":" + std::to_string(ref.element);
      if (with_x_) {
        text += " (x = " + format_number(input_.curves[ref.curve].points[ref.element]) + ")";
      }
      if (count > 1) text += " (" + std::to_string(count) + " times)";
    }
    return text;
  }

 private:
  JobInput const& input_;
  bool with_x_;
  absl::flat_hash_map<std::uint64_t, std::size_t> position_;
  std::vector<std::pair<MacroRef, unsigned>> counted_;
};

std::string index_list(std::vector<index_t> const& indices) {
  std::string text;
  for (auto const index : indices) {
    if (!text.empty()) text += ", ";
    text += std::to_string(index);
  }
  return text;
}

// Each distinct status of each input edge of a report, in order of first appearance:
// "inserted", "inserted, walk_stopped".
std::vector<std::string> status_texts(Job const& job, std::size_t curve) {
  std::vector<std::string> texts(job.input().curves[curve].edges.size());
  for (auto const& entry : job.report(curve)) {
    auto& text = texts[entry.edge];
    auto const name = status_name(entry.status);
    if (text.find(name) == std::string::npos) text += (text.empty() ? "" : ", ") + name;
  }
  return texts;
}

}  // namespace

void write_summary(std::ostream& out, Job const& job) {
  auto const& input = job.input();
  auto const nb_vertices = job.nb_vertices();
  auto const nb_edges = job.nb_edges();
  std::vector<std::size_t> removed;
  for (auto const c : job.inserted_curves()) {
    if (job.removed(c)) removed.push_back(c);
  }
  out << "Background " << quote_text(input.background.name) << " after inserting "
      << count_of(job.inserted_curves().size(), "curve")
      << (removed.empty() ? std::string{} : " and removing " + std::to_string(removed.size()))
      << ": " << count_of(nb_vertices, "vertex", "vertices") << ", " << count_of(nb_edges, "edge")
      << '\n';

  // Vertices and edges by position along the axis, ties by index.
  std::vector<index_t> vertex_order(nb_vertices);
  std::iota(vertex_order.begin(), vertex_order.end(), index_t{0});
  std::stable_sort(vertex_order.begin(), vertex_order.end(),
                   [&job](index_t a, index_t b) { return job.x(a) < job.x(b); });
  out << "\nBackground vertices, by position\n";
  print_table(out, nb_vertices + 1, [&](std::size_t i, bool with_last) -> Row {
    if (i == 0) return {"vertex", "x", "origin", "input vertices (input x when it differs)"};
    auto const v = vertex_order[i - 1];
    auto const x = job.x(v);
    Row row{std::to_string(v), format_number(x), job.created_by_split(v) ? "split" : "background",
            ""};
    if (!with_last) return row;
    bool differs = false;
    job.for_each_macro_vertex(v, [&](MacroRef const& ref) {
      differs = differs || input.curves[ref.curve].points[ref.element] != x;
    });
    MacroText text{input, differs};
    job.for_each_macro_vertex(v, [&text](MacroRef const& ref) { text.add(ref); });
    row.back() = text.text();
    return row;
  });

  auto const low = [&job](index_t edge) {
    auto const vertices = job.edge_vertices(edge);
    return std::min(job.x(vertices[0]), job.x(vertices[1]));
  };
  std::vector<index_t> edge_order(nb_edges);
  std::iota(edge_order.begin(), edge_order.end(), index_t{0});
  std::stable_sort(edge_order.begin(), edge_order.end(),
                   [&low](index_t a, index_t b) { return low(a) < low(b); });
  out << "\nBackground edges, by position\n";
  print_table(out, nb_edges + 1, [&](std::size_t i, bool with_last) -> Row {
    if (i == 0) return {"edge", "vertices", "interval", "carries input edges"};
    auto const e = edge_order[i - 1];
    auto const vertices = job.edge_vertices(e);
    Row row{
        std::to_string(e), std::to_string(vertices[0]) + " -> " + std::to_string(vertices[1]),
        "[" + format_number(job.x(vertices[0])) + ", " + format_number(job.x(vertices[1])) + "]",
        ""};
    if (!with_last) return row;
    MacroText text{input, false};
    job.for_each_macro_element(e, [&text](MacroRef const& ref) { text.add(ref); });
    row.back() = text.text();
    return row;
  });

  out << "\nInserted input edges\n";
  // Rows: the header, then each curve's distinct inserted edges in turn.
  struct Item {
    std::size_t curve;
    index_t edge;
  };
  std::vector<Item> items;
  std::vector<std::vector<std::string>> statuses(input.curves.size());
  for (auto const c : job.inserted_curves()) {
    if (job.removed(c)) continue;  // it carries nothing: listed below
    for (auto const edge : job.distinct_edges(c)) items.push_back({c, edge});
    statuses[c] = status_texts(job, c);
  }
  print_table(out, items.size() + 1, [&](std::size_t i, bool with_last) -> Row {
    if (i == 0) {
      return {"input edge", "from -> to", "status", "background vertices",
              "chain of background edges"};
    }
    auto const [c, edge] = items[i - 1];
    auto const& data = input.curves[c];
    auto const& ends = data.edges[edge];
    auto const first = job.carrier(c, ends[0]);
    auto const last = job.carrier(c, ends[1]);
    Row row{display_name(data.name) + ":" + std::to_string(edge),
            format_number(data.points[ends[0]]) + " -> " + format_number(data.points[ends[1]]),
            statuses[c][edge],
            first != NO_ID && last != NO_ID ? std::to_string(first) + " -> " + std::to_string(last)
                                            : "-",
            ""};
    if (!with_last) return row;
    auto const answer = job.path(c, edge, false);
    row.back() = answer.path ? index_list(*answer.path) : "none";
    if (!answer.error.empty()) row.back() = "failed: " + answer.error;
    return row;
  });

  if (!removed.empty()) {
    out << "\nCurves removed after the insertions\n";
    print_table(out, removed.size() + 1, [&](std::size_t i, bool) -> Row {
      if (i == 0)
        return {"curve", "macro vertices removed", "macro elements removed", "vertices merged"};
      auto const c = removed[i - 1];
      auto const& counts = *job.removal(c);
      return {display_name(input.curves[c].name), std::to_string(counts.macro_vertices_removed),
              std::to_string(counts.macro_elements_removed),
              std::to_string(counts.vertices_merged)};
    });
  }

  if (!job.left_out().empty()) {
    out << "\nCurves left out\n";
    auto const& left_out = job.left_out();
    print_table(out, left_out.size() + 1, [&](std::size_t i, bool) -> Row {
      if (i == 0) return {"curve", "reason"};
      auto const& [curve, reason] = left_out[i - 1];
      return {display_name(input.curves[curve].name), reason};
    });
  }
}

}  // namespace velk::tool
