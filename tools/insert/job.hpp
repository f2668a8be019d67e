// The tool's main job, run by a `BackgroundLineSession`: builds the background, inserts the
// input curves in order, removes those the input names in "remove" and cleans the
// background. The result is then read straight from the session, one element at a time, by
// the writers: the job keeps the input and the session, and only small per-input-element
// tables besides (so that an output of any size is written in the memory of one record).
//
//   velk::tool::Job job{input, "in.json"};
//   for (index_t v = 0; v < job.nb_vertices(); ++v) job.x(v);
//   auto answer = job.path(0, job.distinct_edges(0).front());
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <absl/types/span.h>
#include <velk/background_line.hpp>

#include "insert/input.hpp"
#include "insert/preflight.hpp"

namespace velk::tool {

// An element of an input curve: the curve's position in `JobInput::curves` and the index
// of its vertex or edge.
struct MacroRef {
  std::size_t curve;
  index_t element;
};

// The answer for one inserted input edge (listed once however often it was inserted): the
// background vertices that carry its two end vertices, and the chain of background edges
// between them. `path` is empty when the query found no chain; `error` holds the library's
// message when the query failed instead.
struct EdgePath {
  index_t edge;
  std::optional<std::array<index_t, 2>> vertices;
  std::optional<std::vector<index_t>> path;
  std::string error;
};

// The job, run at construction. Neither copyable nor movable (the library's objects refer
// to one another).
class Job {
 public:
  // Runs the job on a checked input (see `check_input`): builds, inserts every curve in
  // file order but those left out, removes the curves of `input.remove` in that order (a
  // curve left out has nothing to remove: a warning says so), cleans the background and
  // finds where each input vertex landed; then logs a warning for input edges that became
  // zero-length and for distinct input points snapped together. Progress goes through the
  // library's logger. With `options.keep_going`, the curves with a point on no background
  // edge (the session's `point_off_background`) are left out, each named in a warning.
  // Throws `ToolError` (`EXIT_FAILED`) when an insertion fails, with `source`, the curve and
  // the session's message (for a point on no background edge: which point).
  Job(JobInput const& input, std::string source, JobOptions options = {});
  ~Job();
  Job(Job const&) = delete;
  Job& operator=(Job const&) = delete;

  JobInput const& input() const { return input_; }

  // The background after cleaning, with final indices.
  index_t nb_vertices() const { return session_->nb_vertices(); }
  // In the user's units.
  double x(index_t vertex) const { return session_->point(vertex); }
  // Whether a split made the vertex during the insertions.
  bool created_by_split(index_t vertex) const { return !original_[vertex]; }
  index_t nb_edges() const { return session_->nb_edges(); }
  std::array<index_t, 2> edge_vertices(index_t edge) const { return session_->edge(edge); }

  // Calls `visit(MacroRef)` for each input vertex recorded on `vertex`, in recording order
  // (repeats kept).
  template <typename Visit>
  void for_each_macro_vertex(index_t vertex, Visit&& visit) const {
    session_->for_each_macro_vertex(vertex, [&](std::size_t handle, index_t element) {
      visit(MacroRef{position_[handle], element});
    });
  }
  // Calls `visit(MacroRef)` for each input edge `edge` carries, in recording order.
  template <typename Visit>
  void for_each_macro_element(index_t edge, Visit&& visit) const {
    session_->for_each_macro_element(edge, [&](std::size_t handle, index_t element) {
      visit(MacroRef{position_[handle], element});
    });
  }
  std::size_t nb_macro_vertices(index_t vertex) const {
    return session_->nb_macro_vertices(vertex);
  }
  std::size_t nb_macro_elements(index_t edge) const { return session_->nb_macro_elements(edge); }

  // The input curves inserted (all but those left out), in file order.
  std::vector<std::size_t> const& inserted_curves() const { return inserted_; }
  // The curves left out, with the reason, in file order.
  std::vector<std::pair<std::size_t, std::string>> const& left_out() const {
    return options_.left_out;
  }
  bool lists_left_out() const { return options_.keep_going; }
  Scaling const& scaling() const { return options_.scaling; }

  // The counts of the removal of input curve `curve`, when "remove" named it and it was
  // inserted; a removed curve carries nothing and has no paths.
  std::optional<internal::ElementRemovalInfo> const& removal(std::size_t curve) const {
    return removals_[curve];
  }
  bool removed(std::size_t curve) const { return removals_[curve].has_value(); }

  // The insertion report of input curve `curve`, in insertion order (empty when left out).
  std::vector<InsertedEdge> const& report(std::size_t curve) const;
  // The input edges of that report, each once, in the order of their first entry.
  absl::Span<index_t const> distinct_edges(std::size_t curve) const {
    return absl::MakeConstSpan(distinct_).subspan(
        distinct_begin_[curve], distinct_begin_[curve + 1] - distinct_begin_[curve]);
  }

  // The background vertex that carries input vertex `vertex` of curve `curve` (the first,
  // in index order, whose macro vertices name it), or `NO_ID`.
  index_t carrier(std::size_t curve, index_t vertex) const {
    if (!handles_[curve]) return NO_ID;
    auto const& carried = carriers_[*handles_[curve]];
    return vertex < carried.size() ? carried[vertex] : NO_ID;
  }

  // The chain of background edges of input edge `edge` of `curve`, between the carriers of
  // its two ends, as the session answers it: missing only when none exists. The first call
  // asks the session for the chains of every inserted edge at once (`macro_edge_paths`, one
  // pass over the line); should that fail, each edge is asked alone. When a query throws,
  // the answer holds the message, and with `log_failure` a warning is logged.
  EdgePath path(std::size_t curve, index_t edge, bool log_failure) const;

 private:
  // The chains of every inserted edge whose two ends were placed, found at the first call;
  // null when the session refused them all at once.
  InsertedEdgePaths const* all_paths() const;
  void leave_out_curves_off_background();
  void log_size() const;
  void warn_about_result() const;

  JobInput const& input_;
  std::string source_;
  JobOptions options_;
  std::vector<std::size_t> inserted_;
  std::unique_ptr<BackgroundLineSession> session_;
  // Each inserted curve's session handle, by input position, and the input position of each
  // handle.
  std::vector<std::optional<std::size_t>> handles_;
  std::vector<std::size_t> position_;
  std::vector<bool> original_;
  std::vector<std::optional<internal::ElementRemovalInfo>> removals_;
  std::map<std::size_t, std::vector<InsertedEdge>> removed_reports_;  // by input position
  // The session's carriers of every input vertex, by handle (see `carrier`).
  std::vector<std::vector<index_t>> carriers_;
  // Filled by `all_paths`: the answers, and per curve and input edge the query that asked
  // for it (NO_ID for none).
  mutable bool paths_asked_ = false;
  mutable std::optional<InsertedEdgePaths> paths_;
  mutable std::vector<index_t> path_query_;  // by `edge_begin_[curve] + edge`
  // Per curve, where its edges start in a table with a slot per input edge of every curve.
  std::vector<std::size_t> edge_begin_;
  // The distinct edges of every report, curve after curve, and where each curve's start.
  std::vector<index_t> distinct_;
  std::vector<std::size_t> distinct_begin_;
};

// The name of an insertion status: "inserted", "walk_stopped", else "status_<value>".
std::string status_name(InsertedEdge::STATUS status);

}  // namespace velk::tool
