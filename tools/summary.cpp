#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "text.hpp"
#include "writers.hpp"

namespace velk::tool {
namespace {

using Row = std::vector<std::string>;

// A name on one line, so that a name holding line breaks cannot break the table.
std::string display_name(std::string const& name) { return single_line(name, name.size()); }

// Prints rows as columns padded to their widest cell, indented by two spaces.
void print_table(std::ostream& out, std::vector<Row> const& rows) {
  std::vector<std::size_t> widths;
  for (auto const& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c) {
      widths[c] = std::max(widths[c], utf8_length(row[c]));
    }
  }
  for (auto const& row : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += ' ';
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - utf8_length(row[c]) + 1, ' ');
    }
    out << line << '\n';
  }
}

// "well-A:1, well-B:0 (2 times)": each input element once, in order of first appearance.
std::string macro_text(std::vector<MacroRef> const& refs, JobInput const& input,
                       bool with_input_x) {
  if (refs.empty()) return "-";
  std::vector<std::pair<MacroRef, unsigned>> counted;
  for (auto const& ref : refs) {
    auto const found = std::find_if(counted.begin(), counted.end(), [&ref](auto const& item) {
      return item.first.curve == ref.curve && item.first.element == ref.element;
    });
    if (found == counted.end()) {
      counted.emplace_back(ref, 1);
    } else {
      ++found->second;
    }
  }
  std::string text;
  for (auto const& [ref, count] : counted) {
    if (!text.empty()) text += ", ";
    text += display_name(input.curves[ref.curve].name) + ":" + std::to_string(ref.element);
    if (with_input_x)
      text += " (x = " + format_number(input.curves[ref.curve].points[ref.element]) + ")";
    if (count > 1) text += " (" + std::to_string(count) + " times)";
  }
  return text;
}

std::string index_list(std::vector<index_t> const& indices) {
  std::string text;
  for (auto const index : indices) {
    if (!text.empty()) text += ", ";
    text += std::to_string(index);
  }
  return text;
}

}  // namespace

void write_summary(std::ostream& out, JobInput const& input, JobResult const& result) {
  out << "Background " << quote_text(input.background.name) << " after inserting "
      << count_of(input.curves.size(), "curve") << ": "
      << count_of(result.vertices.size(), "vertex", "vertices") << ", "
      << count_of(result.edges.size(), "edge") << '\n';

  // Vertices and edges by position along the axis, ties by index.
  std::vector<std::size_t> vertex_order(result.vertices.size());
  std::iota(vertex_order.begin(), vertex_order.end(), std::size_t{0});
  std::stable_sort(vertex_order.begin(), vertex_order.end(), [&](std::size_t a, std::size_t b) {
    return result.vertices[a].x < result.vertices[b].x;
  });
  out << "\nBackground vertices, by position\n";
  std::vector<Row> rows{{"vertex", "x", "origin", "input vertices (input x when it differs)"}};
  for (auto const v : vertex_order) {
    auto const& vertex = result.vertices[v];
    bool differs = false;
    for (auto const& ref : vertex.macro_vertices) {
      differs = differs || input.curves[ref.curve].points[ref.element] != vertex.x;
    }
    rows.push_back({std::to_string(v), format_number(vertex.x),
                    vertex.created_by_split ? "split" : "background",
                    macro_text(vertex.macro_vertices, input, differs)});
  }
  print_table(out, rows);

  auto const low = [&result](ResultEdge const& edge) {
    return std::min(result.vertices[edge.vertices[0]].x, result.vertices[edge.vertices[1]].x);
  };
  std::vector<std::size_t> edge_order(result.edges.size());
  std::iota(edge_order.begin(), edge_order.end(), std::size_t{0});
  std::stable_sort(edge_order.begin(), edge_order.end(), [&](std::size_t a, std::size_t b) {
    return low(result.edges[a]) < low(result.edges[b]);
  });
  out << "\nBackground edges, by position\n";
  rows = {{"edge", "vertices", "interval", "carries input edges"}};
  for (auto const e : edge_order) {
    auto const& edge = result.edges[e];
    rows.push_back({std::to_string(e),
                    std::to_string(edge.vertices[0]) + " -> " + std::to_string(edge.vertices[1]),
                    "[" + format_number(result.vertices[edge.vertices[0]].x) + ", " +
                        format_number(result.vertices[edge.vertices[1]].x) + "]",
                    macro_text(edge.macro_elements, input, false)});
  }
  print_table(out, rows);

  out << "\nInserted input edges\n";
  rows = {
      {"input edge", "from -> to", "status", "background vertices", "chain of background edges"}};
  for (std::size_t c = 0; c < result.curves.size(); ++c) {
    auto const& data = input.curves[c];
    for (auto const& answer : result.curves[c].paths) {
      std::string status;
      for (auto const& entry : result.curves[c].report) {
        if (entry.edge == answer.edge && status.find(entry.status) == std::string::npos) {
          status += (status.empty() ? "" : ", ") + entry.status;
        }
      }
      auto const& ends = data.edges[answer.edge];
      std::string chain = answer.path ? index_list(*answer.path) : "none";
      if (!answer.error.empty()) chain = "failed: " + answer.error;
      rows.push_back(
          {display_name(data.name) + ":" + std::to_string(answer.edge),
           format_number(data.points[ends[0]]) + " -> " + format_number(data.points[ends[1]]),
           status,
           answer.vertices ? std::to_string((*answer.vertices)[0]) + " -> " +
                                 std::to_string((*answer.vertices)[1])
                           : "-",
           chain});
    }
  }
  print_table(out, rows);
}

}  // namespace velk::tool
