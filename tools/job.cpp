#include "job.hpp"

#include <algorithm>
#include <map>
#include <memory>

#include <absl/strings/str_cat.h>
#include <absl/types/span.h>

#include <basic/strings.hpp>
#include <velk/background_line.hpp>

#include "text.hpp"
#include "tool_error.hpp"

namespace velk::tool {
namespace {

void build_curve(EdgedCurveBuilder<1>& builder, CurveData const& data) {
  builder.set_name(data.name);
  for (auto const x : data.points) builder.create_point(Point<1>{{x}});
  for (auto const& edge : data.edges) builder.create_edge(edge[0], edge[1]);
}

// When an insertion fails, the first point of the failed curve that lies on no background
// edge (in insertion order), as " (point 2 at x = 9 lies on no background edge)"; empty
// when every point lies on one. Splits do not change the part of the axis the background
// covers, so the input background tells.
std::string outside_point_hint(CurveData const& background, CurveData const& curve) {
  auto const on_background = [&background](double x) {
    for (auto const& edge : background.edges) {
      auto const a = background.points[edge[0]];
      auto const b = background.points[edge[1]];
      if (x >= std::min(a, b) - GEOMETRIC_TOLERANCE && x <= std::max(a, b) + GEOMETRIC_TOLERANCE) {
        return true;
      }
    }
    return false;
  };
  auto const check_edge = [&](index_t edge) -> std::string {
    for (auto const point : curve.edges[edge]) {
      if (!on_background(curve.points[point])) {
        return " (point " + std::to_string(point) +
               " at x = " + format_number(curve.points[point]) + " lies on no background edge)";
      }
    }
    return {};
  };
  if (curve.insert) {
    for (auto const edge : *curve.insert) {
      if (auto hint = check_edge(edge); !hint.empty()) return hint;
    }
  } else {
    for (index_t edge = 0; edge < curve.edges.size(); ++edge) {
      if (auto hint = check_edge(edge); !hint.empty()) return hint;
    }
  }
  return {};
}

// The input edges of a report, each once, in the order of their first entry.
std::vector<index_t> distinct_edges(std::vector<ReportEntry> const& report) {
  std::vector<index_t> edges;
  std::vector<bool> seen;
  for (auto const& entry : report) {
    if (entry.edge >= seen.size()) seen.resize(entry.edge + 1, false);
    if (!seen[entry.edge]) {
      seen[entry.edge] = true;
      edges.push_back(entry.edge);
    }
  }
  return edges;
}

}  // namespace

std::string status_name(unsigned value) {
  using STATUS = internal::ElementInsertionInfo::INSERTION_STATUS;
  switch (static_cast<STATUS>(value)) {
    case STATUS::inserted:
      return "inserted";
    case STATUS::walk_stopped:
      return "walk_stopped";
  }
  return "status_" + std::to_string(value);
}

JobResult run_job(JobInput const& input, std::string const& source) {
  BackgroundLineLibrary::initialize();

  // Declared so that they are destroyed in reverse: inserter, modifier and builders before
  // the background line, the background line before its curve.
  EdgedCurve<1> background;
  EdgedCurveBuilder<1> background_builder{background};
  build_curve(background_builder, input.background);
  internal::BackgroundLine line{background};
  internal::BackgroundLineBuilder line_builder{line};
  internal::BackgroundLineModifier modifier{line, line_builder, background_builder};
  internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};

  JobResult result;
  result.curves.resize(input.curves.size());
  std::vector<std::unique_ptr<EdgedCurve<1>>> curves;
  std::map<uuid, std::size_t> curve_of_id;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    auto const& data = input.curves[i];
    auto curve = std::make_unique<EdgedCurve<1>>();
    EdgedCurveBuilder<1> builder{*curve};
    build_curve(builder, data);
    curve_of_id.emplace(curve->id(), i);
    internal::ElementInsertionInfo report;
    try {
      report = data.insert ? inserter.insert_curve_edges(*curve, absl::MakeConstSpan(*data.insert))
                           : inserter.insert_curve(*curve);
    } catch (LumoraException const& error) {
      throw ToolError{EXIT_FAILED, source + ": " + curve_label(input, i) + ": insertion failed: " +
                                       error.what() + outside_point_hint(input.background, data)};
    }
    for (index_t entry = 0; entry < report.size(); ++entry) {
      result.curves[i].report.push_back(
          {report.element(entry), status_name(static_cast<unsigned>(report.status(entry)))});
    }
    curves.push_back(std::move(curve));
  }

  // The curves to remove, once every curve is in: the line is then what inserting only the
  // others would have made.
  for (auto const& name : input.remove) {
    for (std::size_t i = 0; i < input.curves.size(); ++i) {
      if (input.curves[i].name == name)
        result.curves[i].removal = inserter.remove_curve(*curves[i]);
    }
  }

  // Cleaning removes the edges that splits detached and renumbers: every index read below
  // is final. Vertices below the input's count were the background's own; the rest came
  // from splits.
  modifier.clean_edges();
  auto const nb_vertices_before = background.nb_vertices();
  auto const vertex_map = modifier.clean_vertices();
  std::vector<bool> original(background.nb_vertices(), false);
  for (index_t old = 0; old < input.background.points.size(); ++old) {
    auto const now = vertex_map.size() == nb_vertices_before ? vertex_map[old] : old;
    if (now != NO_ID && now < original.size()) original[now] = true;
  }

  auto const to_ref = [&curve_of_id, &source](uuid const& id, index_t element) {
    auto const found = curve_of_id.find(id);
    if (found == curve_of_id.end()) {
      throw ToolError{EXIT_FAILED, source +
                                       ": the background records an element of an unknown "
                                       "curve " +
                                       id.string()};
    }
    return MacroRef{found->second, element};
  };

  // The first background vertex (in index order) that carries each input vertex.
  std::vector<std::vector<index_t>> carrier(input.curves.size());
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    carrier[i].assign(input.curves[i].points.size(), NO_ID);
  }
  for (index_t vertex = 0; vertex < background.nb_vertices(); ++vertex) {
    ResultVertex result_vertex{background.point(vertex).value(0), !original[vertex], {}};
    for (auto const& macro : line.macro_vertices(vertex)) {
      auto const ref = to_ref(macro.mesh_id, macro.vertex_id);
      result_vertex.macro_vertices.push_back(ref);
      auto& slot = carrier[ref.curve].at(ref.element);
      if (slot == NO_ID) slot = vertex;
    }
    result.vertices.push_back(std::move(result_vertex));
  }
  for (index_t edge = 0; edge < background.nb_edges(); ++edge) {
    ResultEdge result_edge{background.edge_vertices(edge), {}};
    for (auto const& macro : line.macro_elements(edge)) {
      result_edge.macro_elements.push_back(to_ref(macro.mesh_id, macro.element_id));
    }
    result.edges.push_back(std::move(result_edge));
  }

  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    auto const& data = input.curves[i];
    if (result.curves[i].removal) continue;
    for (auto const edge : distinct_edges(result.curves[i].report)) {
      EdgePath answer{edge, std::nullopt, std::nullopt, {}};
      auto const first = carrier[i][data.edges[edge][0]];
      auto const last = carrier[i][data.edges[edge][1]];
      if (first != NO_ID && last != NO_ID) {
        answer.vertices = std::array<index_t, 2>{first, last};
        try {
          answer.path = line.macro_edge_path({first, last}, MeshEdge{curves[i]->id(), edge});
        } catch (LumoraException const& error) {
          answer.error = error.what();
          Logger::log_warn(absl::StrCat("path of input edge ", edge, " of curve ",
                                        as_absl(quote_text(data.name)), ": ", error.what()));
        }
      }
      result.curves[i].paths.push_back(std::move(answer));
    }
  }
  return result;
}

}  // namespace velk::tool
