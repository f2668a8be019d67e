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

std::string status_name(InsertedEdge::STATUS status) {
  using STATUS = InsertedEdge::STATUS;
  if (status == STATUS::inserted || status == STATUS::walk_stopped) {
    return std::string{BackgroundLineSession::status_name(status)};
  }
  return "status_" + std::to_string(static_cast<unsigned>(status));
}

Job::Job(JobInput const& input, std::string source, JobOptions options)
    : input_{input}, source_{std::move(source)}, options_{std::move(options)} {
  auto const& background = input.background;
  session_ = std::make_unique<BackgroundLineSession>(background.points, background.edges,
                                                     options_.scaling.tolerance, background.name);
  if (session_->scale_exponent() != options_.scaling.exponent) {
    throw ToolError{EXIT_FAILED, source_ + ": the session scales the coordinates by 2^" +
                                     std::to_string(session_->scale_exponent()) + ", not 2^" +
                                     std::to_string(options_.scaling.exponent)};
  }
  if (options_.keep_going) leave_out_curves_off_background();

  handles_.resize(input.curves.size());
  removals_.resize(input.curves.size());
  std::vector<bool> leave_out(input.curves.size(), false);
  for (auto const& [curve, reason] : options_.left_out) leave_out.at(curve) = true;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    if (leave_out[i]) continue;
    auto const& data = input.curves[i];
    std::size_t handle = 0;
    try {
      // A curve without edges inserts none (the session would otherwise chain its points).
      if (data.insert || data.edges.empty()) {
        auto const only =
            data.insert ? absl::MakeConstSpan(*data.insert) : absl::Span<index_t const>{};
        handle = session_->insert_curve_edges(data.name, data.points, data.edges, only);
      } else {
        handle = session_->insert_curve(data.name, data.points, data.edges);
      }
    } catch (LumoraException const& error) {
      throw ToolError{EXIT_FAILED, source_ + ": " + curve_label(input, i) +
                                       ": insertion failed: " + error.what()};
    }
    handles_[i] = handle;
    if (position_.size() <= handle) position_.resize(handle + 1, 0);
    position_[handle] = i;
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
    for (auto const& entry : report(i)) {
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
  if (!input.remove.empty()) {
    std::map<std::string_view, std::size_t> curve_named;
    for (std::size_t i = 0; i < input.curves.size(); ++i) {
      curve_named.emplace(input.curves[i].name, i);
    }
    for (std::size_t r = 0; r < input.remove.size(); ++r) {
      auto const i = curve_named.at(input.remove[r]);
      if (!handles_[i]) {
        Logger::log_warn(curve_label(input, i) + ", named by remove[" + std::to_string(r) +
                         "], was left out: nothing to remove");
        continue;
      }
      // The session forgets a removed curve: its report is kept here for the outputs.
      removed_reports_.emplace(i, session_->report(*handles_[i]));
      removals_[i] = session_->remove(*handles_[i]);
    }
  }

  // Cleaning removes the edges that splits detached and renumbers: every index read below
  // is final. Vertices below the input's count were the background's own; the rest came
  // from splits.
  auto const nb_vertices_before = session_->nb_vertices();
  auto const vertex_map = session_->clean().vertices;
  original_.assign(session_->nb_vertices(), false);
  for (index_t old = 0; old < input.background.points.size(); ++old) {
    auto const now = vertex_map.size() == nb_vertices_before ? vertex_map[old] : old;
    if (now != NO_ID && now < original_.size()) original_[now] = true;
  }

  // The first background vertex (in index order) that carries each input vertex, kept for
  // the chains of every edge (`all_paths`) too.
  carriers_ = session_->carriers();
  log_size();
  warn_about_result();
}

void Job::leave_out_curves_off_background() {
  for (std::size_t c = 0; c < input_.curves.size(); ++c) {
    auto const& data = input_.curves[c];
    auto const only =
        data.insert ? std::optional<absl::Span<index_t const>>{*data.insert} : std::nullopt;
    // A curve without edges inserts none: none of its points is looked for.
    if (data.edges.empty()) continue;
    auto const point = session_->point_off_background(data.points, data.edges, only);
    if (!point) continue;
    auto reason = "point " + std::to_string(*point) +
                  " at x = " + format_number(data.points[*point]) + " lies on no background edge";
    Logger::log_warn(curve_label(input_, c) + " left out: " + reason);
    options_.left_out.emplace_back(c, std::move(reason));
  }
}

void Job::log_size() const {
  // The memory of the macro lists as the library holds them (allocator overhead left out).
  std::size_t entries = 0;
  for (index_t edge = 0; edge < session_->nb_edges(); ++edge) {
    entries += session_->nb_macro_elements(edge);
  }
  auto const bytes = session_->background_line().memory_bytes();
  auto const nb_removed = static_cast<std::size_t>(std::count_if(
      removals_.begin(), removals_.end(), [](auto const& removal) { return removal.has_value(); }));
  Logger::log_info("inserted " + count_of(inserted_.size(), "curve") +
                   (nb_removed > 0 ? ", removed " + std::to_string(nb_removed) : std::string{}) +
                   ": background of " + count_of(session_->nb_vertices(), "vertex", "vertices") +
                   " and " + count_of(session_->nb_edges(), "edge") + " carrying " +
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
      auto const first = carrier(c, ends[0]);
      if (first == NO_ID || first != carrier(c, ends[1])) continue;
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
  for (index_t vertex = 0; vertex < session_->nb_vertices(); ++vertex) {
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

std::vector<InsertedEdge> const& Job::report(std::size_t curve) const {
  static std::vector<InsertedEdge> const none;
  if (!handles_[curve]) return none;
  if (removed(curve)) return removed_reports_.at(curve);
  return session_->report(*handles_[curve]);
}

InsertedEdgePaths const* Job::all_paths() const {
  if (paths_asked_) return paths_ ? &*paths_ : nullptr;
  paths_asked_ = true;
  try {
    paths_ = session_->macro_edge_paths(carriers_);
  } catch (LumoraException const&) {
    // Some query throws: each is asked alone, so that the others keep their answers.
    return nullptr;
  }
  path_query_.assign(edge_begin_.back(), NO_ID);
  for (std::size_t query = 0; query < paths_->curves.size(); ++query) {
    auto const curve = position_[paths_->curves[query]];
    path_query_[edge_begin_[curve] + paths_->edges[query]] = static_cast<index_t>(query);
  }
  return &*paths_;
}

EdgePath Job::path(std::size_t curve, index_t edge, bool log_failure) const {
  auto const& data = input_.curves[curve];
  EdgePath answer{edge, std::nullopt, std::nullopt, {}};
  auto const first = carrier(curve, data.edges[edge][0]);
  auto const last = carrier(curve, data.edges[edge][1]);
  if (first == NO_ID || last == NO_ID) return answer;
  answer.vertices = std::array<index_t, 2>{first, last};
  // The output format gives no chain (`null`) for an edge whose two ends landed on one
  // background vertex, where the session answers with an empty one.
  if (first == last) return answer;
  auto const* paths = all_paths();
  auto const slot = edge_begin_[curve] + edge;
  if (paths != nullptr && edge < data.edges.size() && path_query_[slot] != NO_ID) {
    auto const query = path_query_[slot];
    if (paths->found(query)) answer.path = paths->chain(query).to_vector();
    return answer;
  }
  try {
    answer.path = session_->path(*handles_[curve], edge);
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
