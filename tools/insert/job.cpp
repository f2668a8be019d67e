#include "insert/job.hpp"

#include <algorithm>
#include <map>
#include <string_view>

#include <absl/strings/str_cat.h>
#include <absl/types/span.h>

#include <basic/strings.hpp>

#include "common/text.hpp"
#include "common/tool_error.hpp"

namespace velk::tool {
namespace {

void build_curve(EdgedCurveBuilder<1>& builder, CurveData const& data, Scaling const& scaling) {
  builder.set_name(data.name);
  for (auto const x : data.points) builder.create_point(Point<1>{{scaling.to_library(x)}});
  for (auto const& edge : data.edges) builder.create_edge(edge[0], edge[1]);
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

Job::Job(JobInput const& input, std::string source, JobOptions options)
    : input_{input}, source_{std::move(source)}, options_{std::move(options)} {
  BackgroundLineLibrary::initialize();
  auto const& scaling = options_.scaling;
  background_builder_ = std::make_unique<EdgedCurveBuilder<1>>(background_);
  build_curve(*background_builder_, input.background, scaling);
  line_ = std::make_unique<internal::BackgroundLine>(background_);
  line_builder_ = std::make_unique<internal::BackgroundLineBuilder>(*line_);
  modifier_ = std::make_unique<internal::BackgroundLineModifier>(*line_, *line_builder_,
                                                                 *background_builder_);
  inserter_ = std::make_unique<internal::BackgroundLineInserter>(
      internal::ModifiableObject<internal::BackgroundLine>{*line_, *modifier_}, *line_builder_);

  reports_.resize(input.curves.size());
  ids_.resize(input.curves.size());
  std::vector<bool> leave_out(input.curves.size(), false);
  for (auto const& [curve, reason] : options_.left_out) leave_out.at(curve) = true;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    if (leave_out[i]) continue;
    auto const& data = input.curves[i];
    EdgedCurve<1> curve;
    EdgedCurveBuilder<1> builder{curve};
    build_curve(builder, data, scaling);
    curves_by_id_.insert_or_assign(curve.id(), i);
    internal::ElementInsertionInfo report;
    try {
      report = data.insert ? inserter_->insert_curve_edges(curve, absl::MakeConstSpan(*data.insert))
                           : inserter_->insert_curve(curve);
    } catch (LumoraException const& error) {
      auto const outside = outside_point(data, BackgroundCover{input.background, scaling});
      throw ToolError{EXIT_FAILED, source_ + ": " + curve_label(input, i) +
                                       ": insertion failed: " + error.what() +
                                       (outside ? " (" + *outside + ")" : std::string{})};
    }
    auto& entries = reports_[i];
    entries.reserve(report.size());
    for (index_t entry = 0; entry < report.size(); ++entry) {
      entries.push_back({report.element(entry), static_cast<unsigned>(report.status(entry))});
    }
    // The library keeps no reference to an inserted curve: its uuid is all the job needs.
    ids_[i] = curve.id();
    inserted_.push_back(i);
  }

  // Each report's edges once, in the order of their first entry.
  edge_begin_.assign(input.curves.size() + 1, 0);
  distinct_begin_.assign(input.curves.size() + 1, 0);
  std::vector<bool> seen;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    auto const nb_edges = input.curves[i].edges.size();
    edge_begin_[i + 1] = edge_begin_[i] + nb_edges;
    seen.assign(nb_edges, false);
    for (auto const& entry : reports_[i]) {
      if (entry.edge >= seen.size()) seen.resize(entry.edge + 1, false);
      if (!seen[entry.edge]) {
        seen[entry.edge] = true;
        distinct_.push_back(entry.edge);
      }
    }
    distinct_begin_[i + 1] = distinct_.size();
  }

  // The curves to remove, once every curve is in: the line is then what inserting only the
  // others would have made. A curve left out was never inserted: nothing to remove.
  removals_.resize(input.curves.size());
  if (!input.remove.empty()) {
    std::map<std::string_view, std::size_t> curve_named;
    for (std::size_t i = 0; i < input.curves.size(); ++i) {
      curve_named.emplace(input.curves[i].name, i);
    }
    for (std::size_t r = 0; r < input.remove.size(); ++r) {
      auto const i = curve_named.at(input.remove[r]);
      if (!ids_[i]) {
        Logger::log_warn(curve_label(input, i) + ", named by remove[" + std::to_string(r) +
                         "], was left out: nothing to remove");
        continue;
      }
      removals_[i] = inserter_->remove_curve(*ids_[i]);
    }
  }

  // Cleaning removes the edges that splits detached and renumbers: every index read below
  // is final. Vertices below the input's count were the background's own; the rest came
  // from splits.
  modifier_->clean_edges();
  auto const nb_vertices_before = background_.nb_vertices();
  auto const vertex_map = modifier_->clean_vertices();
  original_.assign(background_.nb_vertices(), false);
  for (index_t old = 0; old < input.background.points.size(); ++old) {
    auto const now = vertex_map.size() == nb_vertices_before ? vertex_map[old] : old;
    if (now != NO_ID && now < original_.size()) original_[now] = true;
  }

  // The first background vertex (in index order) that carries each input vertex.
  carriers_.resize(input.curves.size());
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    carriers_[i].assign(input.curves[i].points.size(), NO_ID);
  }
  for (index_t vertex = 0; vertex < background_.nb_vertices(); ++vertex) {
    for_each_macro_vertex(vertex, [&](MacroRef const& ref) {
      auto& slot = carriers_[ref.curve].at(ref.element);
      if (slot == NO_ID) slot = vertex;
    });
  }
  log_size();
  warn_about_result();
}

void Job::log_size() const {
  // The memory of the macro lists as the library holds them (allocator overhead left out).
  std::size_t entries = 0;
  for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
    entries += line_->macro_element_view(edge).size();
  }
  auto const bytes = line_->memory_bytes();
  auto const nb_removed = static_cast<std::size_t>(std::count_if(
      removals_.begin(), removals_.end(), [](auto const& removal) { return removal.has_value(); }));
  Logger::log_info("inserted " + count_of(inserted_.size(), "curve") +
                   (nb_removed > 0 ? ", removed " + std::to_string(nb_removed) : std::string{}) +
                   ": background of " + count_of(background_.nb_vertices(), "vertex", "vertices") +
                   " and " + count_of(background_.nb_edges(), "edge") + " carrying " +
                   count_of(entries, "input edge") + " in all (macro lists " + byte_size(bytes) +
                   ")");
}

void Job::warn_about_result() const {
  // Inserted input edges whose two ends landed on one background vertex.
  std::size_t zero_length = 0;
  std::string example;
  for (auto const c : inserted_) {
    if (removed(c)) continue;
    auto const& data = input_.curves[c];
    for (auto const edge : distinct_edges(c)) {
      auto const& ends = data.edges[edge];
      auto const first = carriers_[c][ends[0]];
      if (first == NO_ID || first != carriers_[c][ends[1]]) continue;
      if (zero_length++ == 0) {
        example = "edge " + std::to_string(edge) + " of " + curve_label(input_, c) + ", from " +
                  format_number(data.points[ends[0]]) + " to " +
                  format_number(data.points[ends[1]]) + ", on background vertex " +
                  std::to_string(first);
      }
    }
  }
  if (zero_length > 0) {
    Logger::log_warn(count_of(zero_length, "input edge") +
                     " of zero length (both ends on one background vertex), e.g. " + example);
  }

  // Background vertices that carry input points given at different coordinates.
  std::size_t merged = 0;
  for (index_t vertex = 0; vertex < background_.nb_vertices(); ++vertex) {
    std::optional<MacroRef> first;
    std::optional<MacroRef> other;
    for_each_macro_vertex(vertex, [&](MacroRef const& ref) {
      auto const x = input_.curves[ref.curve].points[ref.element];
      if (!first) {
        first = ref;
      } else if (!other && x != input_.curves[first->curve].points[first->element]) {
        other = ref;
      }
    });
    if (!other || merged++ > 0) continue;
    auto const point = [this](MacroRef const& ref) {
      auto const& curve = input_.curves[ref.curve];
      return "vertex " + std::to_string(ref.element) + " of " + quote_text(curve.name) +
             " (x = " + format_number(curve.points[ref.element]) + ")";
    };
    example = "background vertex " + std::to_string(vertex) + " (x = " + format_number(x(vertex)) +
              ") carries " + point(*first) + " and " + point(*other);
  }
  if (merged > 0) {
    Logger::log_warn(count_of(merged, "background vertex", "background vertices") +
                     " carrying input points given at different coordinates (snapped "
                     "together), e.g. " +
                     example);
  }
}

Job::~Job() = default;

void Job::unknown_curve(uuid const& id) const {
  throw ToolError{
      EXIT_FAILED,
      source_ + ": the background records an element of an unknown curve " + id.string()};
}

internal::MacroEdgePaths const* Job::all_paths() const {
  if (paths_asked_) return paths_ ? &*paths_ : nullptr;
  paths_asked_ = true;
  std::vector<internal::MacroEdgePathQuery> queries;
  path_query_.assign(edge_begin_.back(), NO_ID);
  for (auto const c : inserted_) {
    if (removed(c)) continue;
    auto const& data = input_.curves[c];
    for (auto const edge : distinct_edges(c)) {
      auto const first = carriers_[c][data.edges[edge][0]];
      auto const last = carriers_[c][data.edges[edge][1]];
      if (first == NO_ID || last == NO_ID) continue;
      path_query_[edge_begin_[c] + edge] = static_cast<index_t>(queries.size());
      queries.push_back({{first, last}, MeshEdge{*ids_[c], edge}});
    }
  }
  try {
    paths_ = line_->macro_edge_paths(queries, path_step_limit());
  } catch (LumoraException const&) {
    // Some query throws: each is asked alone, so that the others keep their answers.
    path_query_.clear();
  }
  return paths_ ? &*paths_ : nullptr;
}

EdgePath Job::path(std::size_t curve, index_t edge, bool log_failure) const {
  auto const& data = input_.curves[curve];
  EdgePath answer{edge, std::nullopt, std::nullopt, {}};
  auto const first = carriers_[curve][data.edges[edge][0]];
  auto const last = carriers_[curve][data.edges[edge][1]];
  if (first == NO_ID || last == NO_ID) return answer;
  answer.vertices = std::array<index_t, 2>{first, last};
  auto const* paths = all_paths();
  auto const slot = edge_begin_[curve] + edge;
  if (paths != nullptr && edge < data.edges.size() && path_query_[slot] != NO_ID) {
    auto const query = path_query_[slot];
    if (paths->found(query)) answer.path = paths->chain(query).to_vector();
    return answer;
  }
  try {
    answer.path =
        line_->macro_edge_path({first, last}, MeshEdge{*ids_[curve], edge}, path_step_limit());
  } catch (LumoraException const& error) {
    answer.error = error.what();
    if (log_failure) {
      Logger::log_warn(absl::StrCat("path of input edge ", edge, " of curve ",
                                    as_absl(quote_text(data.name)), ": ", error.what()));
    }
  }
  return answer;
}

}  // namespace velk::tool
