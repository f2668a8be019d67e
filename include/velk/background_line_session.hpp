// One object for the whole job: a background line built from points, the input curves
// inserted into it by name, and the answers keyed by those names.
//
//   #include <velk/background_line.hpp>
//
//   // A background of three edges over [0, 30], then one input curve of two edges.
//   velk::BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}};
//   auto const report = line.insert("well-1", {5.0, 15.0, 25.0});
//   line.clean();  // drops the edges the splits replaced; renumbers
//
//   for (auto const& entry : report) {
//     std::cout << "input edge " << entry.edge << ": "
//               << velk::BackgroundLineSession::status_name(entry.status) << "\n";
//   }
//   auto const vertex = line.vertex_of("well-1", 0);  // empty when not inserted
//   std::cout << "vertex 0 of well-1 is background vertex " << *vertex << "\n";
//   auto const path = line.path("well-1", 0);  // empty when not inserted
//   std::cout << "edge 0 of well-1 runs along background edges";
//   for (auto const edge : *path) std::cout << " " << edge;
//   std::cout << "\n";
//   for (auto const& piece : line.overlapping(12.0, 18.0)) {
//     std::cout << "[" << piece.start << ", " << piece.end << "] edge " << piece.edge;
//     std::cout << " carries";
//     for (auto const& carried : piece.carried) {
//       std::cout << " " << carried.curve << ":" << carried.index;
//     }
//     std::cout << "\n";
//   }
//
// prints
//
//   input edge 0: inserted
//   input edge 1: inserted
//   vertex 0 of well-1 is background vertex 4
//   edge 0 of well-1 runs along background edges 1 2
//   [10, 15] edge 2 carries well-1:0
//   [15, 20] edge 3 carries well-1:1
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <absl/functional/function_ref.h>
#include <absl/types/span.h>

#include <background_common/element_insertion_info.hpp>
#include <basic/common.hpp>
#include <basic/lumora_exception.hpp>
#include <geometry/tolerance.hpp>
#include <mesh/edged_curve.hpp>
#include <velk/background_line/background_line.hpp>
#include <velk/background_line/element_removal_info.hpp>
#include <velk/background_line/line_stack.hpp>
#include <velk/background_line/macro_edge_paths.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk {

// Thrown for a caller's bad argument (a malformed curve, an unknown or repeated name, an
// index out of range, a coordinate that cannot be scaled), always before anything changed.
// A `LumoraException`, so one handler catches both; the Python module maps it to
// `ValueError` and every other `LumoraException` to its `Error`.
class VELK_BACKGROUND_LINE_API InvalidArgument : public LumoraException {
 public:
  using LumoraException::LumoraException;
  ~InvalidArgument() override;
};

// A vertex or an edge of a named input curve.
struct CurveElement {
  std::string curve;
  index_t index;

  friend bool operator==(CurveElement const& lhs, CurveElement const& rhs) {
    return lhs.index == rhs.index && lhs.curve == rhs.curve;
  }
  friend bool operator!=(CurveElement const& lhs, CurveElement const& rhs) { return !(lhs == rhs); }
};

// The outcome of inserting one input edge.
struct InsertedEdge {
  using STATUS = internal::ElementInsertionInfo::INSERTION_STATUS;
  index_t edge;
  STATUS status;
};

// A background edge met by `BackgroundLineSession::overlapping`: its index, its interval
// (`start <= end`, in the caller's units) and the input edges it carries.
struct OverlappingEdge {
  index_t edge;
  double start;
  double end;
  std::vector<CurveElement> carried;
};

// The macro lists of many background vertices or edges at once, in flat arrays: the entries
// of the i-th item asked for are `curve[k]`, `index[k]` for k in [offsets[i], offsets[i + 1]),
// in the order recorded; `curve[k]` indexes `curves`, which holds each curve's name once.
struct MacroColumns {
  std::vector<std::string> curves;
  std::vector<std::uint64_t> offsets;
  std::vector<std::uint32_t> curve;
  std::vector<index_t> index;
};

// `BackgroundLineSession::overlapping` in columns: one entry per background edge in `edges`,
// `starts` and `ends`, and what each carries in `carried`.
struct OverlappingColumns {
  std::vector<index_t> edges;
  std::vector<double> starts;
  std::vector<double> ends;
  MacroColumns carried;
};

// An input curve for `BackgroundLineSession::insert_curves`: its name, points and edges (a
// chain through the points when empty), and which edges to insert: every one in index order
// when `only` is not set, else those listed, in list order, once per occurrence (none for an
// empty list).
struct CurveInput {
  std::string name;
  absl::Span<double const> points;
  absl::Span<std::array<index_t, 2> const> edges;
  std::optional<absl::Span<index_t const>> only;
};

// The renumbering by `BackgroundLineSession::clean()`: the new index of each old vertex and
// edge, `NO_ID` for those removed. A list is empty when nothing was renumbered.
struct CleanRenumbering {
  std::vector<index_t> vertices;
  std::vector<index_t> edges;
};

// The chains of every inserted input edge at once (`BackgroundLineSession::macro_edge_paths`):
// query k asks for edge `edges[k]` of curve `curves[k]` (a handle) between the background
// vertices `ends[k]` that carry its two end vertices; `found(k)` and `chain(k)` answer it as
// `BackgroundLineSession::path` does (an edge whose ends landed on one vertex: found, empty).
struct InsertedEdgePaths {
  std::vector<std::size_t> curves;
  std::vector<index_t> edges;
  std::vector<std::array<index_t, 2>> ends;
  internal::MacroEdgePaths paths;  // the library's answers, for the queries of distinct ends

  bool found(std::size_t query) const {
    return ends[query][0] == ends[query][1] || paths.found(query);
  }
  internal::MacroEdgeChain chain(std::size_t query) const {
    return ends[query][0] == ends[query][1] ? internal::MacroEdgeChain{} : paths.chain(query);
  }
};

// Owns a background curve, its background line with the builder, modifier and inserter that
// edit it, and every inserted input curve under its name. Everything the lower-level classes
// need (initialisation, builders, lifetimes, uuids) is handled inside.
//
// Units: the library snaps within the absolute `GEOMETRIC_TOLERANCE`. The session takes a
// snapping tolerance in the caller's units instead and multiplies every coordinate by a power
// of two, 2^`scale_exponent()`: the library's rule (`scaling_for_tolerance`) takes the largest
// tolerance in effect that is not above the one asked, so that points farther apart than
// asked never snap together; `tolerance()` is the tolerance actually applied (in
// (asked / 2, asked]). Scaling by a
// power of two is exact, so no digit of any coordinate changes, and every coordinate this class
// returns is divided back. The objects behind `background_line()` hold the scaled values.
//
// Movable (a moved-from session may only be destroyed or assigned to), not copyable. One
// thread at a time; the library's `Logger` is process-wide.
class VELK_BACKGROUND_LINE_API BackgroundLineSession {
 public:
  using Edge = std::array<index_t, 2>;
  using STATUS = InsertedEdge::STATUS;
  // A curve's handle: its number in the order of insertion into this session, from 0, never
  // given to another curve (not even after the curve's removal).
  using CurveHandle = std::size_t;

  // The background: one vertex per point, joined by `edges`, or by a chain through the points
  // in order when `edges` is empty. `tolerance` is the snapping tolerance in the points' units
  // (positive and finite); `name` names the background curve. Initialises the library, and
  // logs the library's warnings about the background (`warn_about_background`: overlapping
  // or zero-length edges).
  // Throws `InvalidArgument` for a non-finite point, an edge index out of range, an edge from
  // a vertex to itself, a bad tolerance, or a coordinate whose scaled value would overflow or
  // lose digits (become subnormal).
  explicit BackgroundLineSession(absl::Span<double const> points, absl::Span<Edge const> edges = {},
                                 double tolerance = GEOMETRIC_TOLERANCE,
                                 std::string name = "background");
  ~BackgroundLineSession();
  BackgroundLineSession(BackgroundLineSession&& other) noexcept;
  BackgroundLineSession& operator=(BackgroundLineSession&& other) noexcept;
  BackgroundLineSession(BackgroundLineSession const&) = delete;
  BackgroundLineSession& operator=(BackgroundLineSession const&) = delete;

  // Builds the input curve `name` from `points` and `edges` (a chain through the points when
  // empty) and inserts its edges `only` (every edge, in index order, when empty; listed ones in
  // list order, once per occurrence, otherwise). Returns one entry per inserted edge, in
  // insertion order. Names are unique and not empty.
  //
  // The arguments are checked before anything is inserted (`InvalidArgument`, as for the
  // constructor, plus an empty or taken name and an index of `only` out of range). A point to
  // insert that lies on no background edge within the tolerance makes the library stop; the
  // session then throws `LumoraException` "[BackgroundLineSession::insert] curve "c": point
  // 2 (7) lies on no background edge; nothing was inserted" (the first such point, see
  // `point_off_background`). All or nothing: whenever the library fails part-way (that
  // point, memory exhausted), what it did is undone before the exception passes on
  // (`BackgroundLineInserter::insert_new_curve`) and the curve is not registered: points,
  // edges, numbering, macro information and names are as before the call, the name free.
  // Invalidates nothing this class returned (it returns values); may split background
  // edges, which `clean()` then removes.
  std::vector<InsertedEdge> insert(std::string const& name, absl::Span<double const> points,
                                   absl::Span<Edge const> edges = {},
                                   absl::Span<index_t const> only = {});

  // Takes the curve `name` out again: every macro vertex and element that names it, and the
  // background vertices its insertion alone needed (their two edges are joined back). The
  // name is then free. Returns the library's counts. `InvalidArgument` for an unknown name.
  // May detach background edges, which `clean()` then removes.
  internal::ElementRemovalInfo remove(std::string_view name);

  // Removes the edges that insertions split (detached ones) and renumbers the edges, and the
  // vertices if any went; indices read before no longer hold. Returns the renumbering, which
  // callers may ignore.
  CleanRenumbering clean();

  // --- Curves by handle ------------------------------------------------------------------
  // The same checks, messages and all-or-nothing rule as `insert`; each returns the curve's
  // handle, and `report(handle)` the entries `insert` would have returned.

  // Inserts every edge of the curve, in index order.
  CurveHandle insert_curve(std::string const& name, absl::Span<double const> points,
                           absl::Span<Edge const> edges = {});
  // Inserts only the edges `only` of the curve, in list order, once per occurrence: none for
  // an empty list (the curve is then registered, carrying nothing).
  CurveHandle insert_curve_edges(std::string const& name, absl::Span<double const> points,
                                 absl::Span<Edge const> edges, absl::Span<index_t const> only);
  // Inserts the curves in order, each as `insert_curve` or `insert_curve_edges` does, and
  // returns their handles. Should one fail, those before it stay inserted and its exception
  // passes on; the names of all must differ.
  std::vector<CurveHandle> insert_curves(absl::Span<CurveInput const> curves);

  // The first point of the edges `only` (every edge when not set) of a curve given as to
  // `insert_curve` that lies on no background edge within the tolerance, by index: the point
  // that would make its insertion fail; empty when there is none. Arguments are checked as
  // for `insert`.
  std::optional<index_t> point_off_background(
      absl::Span<double const> points, absl::Span<Edge const> edges = {},
      std::optional<absl::Span<index_t const>> only = std::nullopt) const;

  // The handle of curve `name`; `InvalidArgument` for an unknown name.
  CurveHandle handle(std::string_view name) const;
  // Whether `curve` names an inserted curve not removed since.
  bool has_curve(CurveHandle curve) const;
  // The name of a curve; `InvalidArgument` for an unknown handle (also below).
  std::string const& curve_name(CurveHandle curve) const;
  // The curve's insertion report: one entry per inserted edge, in insertion order.
  std::vector<InsertedEdge> const& report(CurveHandle curve) const;
  // Takes the curve out again, as `remove(name)` does.
  internal::ElementRemovalInfo remove(CurveHandle curve);

  // Calls `visit(handle, input vertex)` for each input vertex recorded on background vertex
  // `vertex` (`visit(handle, input edge)` for each input edge background edge `edge`
  // carries), in the order recorded, without copying the list. `InvalidArgument` when out
  // of range.
  void for_each_macro_vertex(index_t vertex,
                             absl::FunctionRef<void(CurveHandle, index_t)> visit) const;
  void for_each_macro_element(index_t edge,
                              absl::FunctionRef<void(CurveHandle, index_t)> visit) const;
  std::size_t nb_macro_vertices(index_t vertex) const;
  std::size_t nb_macro_elements(index_t edge) const;

  // The chain of background edges that carries input edge `edge` of `curve`, as `path` by
  // name answers it.
  std::optional<std::vector<index_t>> path(CurveHandle curve, index_t edge) const;
  // The chains of every inserted edge of every curve (each once) whose two end vertices are
  // carried, in one pass over the line: curve after curve in insertion order, each curve's
  // edges in the order of their first report entry. Throws the library's `LumoraException`
  // when a chain cannot be followed (then `path` tells which).
  InsertedEdgePaths macro_edge_paths() const;
  // The same on carriers already found by `carriers()` (and still valid), which it then does
  // not look for again.
  InsertedEdgePaths macro_edge_paths(std::vector<std::vector<index_t>> const& carriers) const;

  // The background vertex that carries each input vertex, as `vertex_of` answers it (the
  // lowest that records it; `NO_ID` for none), for every curve in one pass over the
  // background's vertices: `carriers()[handle][vertex]`, empty for a removed curve. Valid
  // until the line next changes.
  std::vector<std::vector<index_t>> carriers() const;

  // The objects behind the session, for the full API; coordinates are scaled. Editing the
  // line through them bypasses the session's checks and names.
  internal::LineStack const& stack() const;

  // --- The background ------------------------------------------------------------------

  std::string const& name() const;
  index_t nb_vertices() const;
  // Edges, detached ones (split and not yet cleaned) included.
  index_t nb_edges() const;
  // The coordinate of a vertex; `InvalidArgument` when out of range.
  double point(index_t vertex) const;
  // Every vertex's coordinate, by index.
  std::vector<double> points() const;
  // An edge's two vertices; `InvalidArgument` when out of range.
  Edge edge(index_t edge) const;
  // Every edge's two vertices, by index, detached edges included.
  std::vector<Edge> edges() const;
  // Whether a split replaced the edge (it then carries nothing new and `clean()` removes it);
  // `InvalidArgument` when out of range.
  bool is_edge_detached(index_t edge) const;

  // The snapping tolerance applied, in the caller's units, and the power of two that scales
  // the caller's coordinates into the library's.
  double tolerance() const;
  int scale_exponent() const;

  // The underlying background line, for the full API; its coordinates are scaled. Valid as
  // long as this session (moves included).
  internal::BackgroundLine const& background_line() const;

  // --- The input curves ----------------------------------------------------------------

  // Names of the inserted curves, in insertion order (of handles).
  std::vector<std::string> curve_names() const;
  bool has_curve(std::string_view name) const;
  // The input curve as built (scaled coordinates); `InvalidArgument` for an unknown name.
  EdgedCurve<1> const& curve(std::string_view name) const;

  // --- Answers keyed by name -----------------------------------------------------------

  // The input vertices a background vertex carries, in the order recorded; `InvalidArgument`
  // when out of range.
  std::vector<CurveElement> macro_vertices(index_t vertex) const;

  // The input edges a background edge carries, in the order recorded; `InvalidArgument` when
  // out of range.
  std::vector<CurveElement> macro_elements(index_t edge) const;

  // The background vertex that carries input vertex `vertex` of curve `name` (the lowest
  // index if several do); empty when that vertex was not inserted. O(log n) expected.
  // `InvalidArgument` for an unknown name or a vertex out of range.
  std::optional<index_t> vertex_of(std::string_view name, index_t vertex) const;

  // The chain of background edges, in order from the edge's first vertex to its second, that
  // carries input edge `edge` of curve `name`: empty for an edge whose ends landed on one
  // vertex; missing when the edge was not inserted or its insertion stopped (`walk_stopped`).
  // No length limit. `InvalidArgument` for an unknown name or an edge out of range.
  std::optional<std::vector<index_t>> path(std::string_view name, index_t edge) const;

  // The live background edges that share more than an end point with [a, b] (for a == b:
  // that contain the point), in axis order (lower end, then index), each with the input edges
  // it carries. Infinite bounds are fine. O(log n + answer) expected through the modifier's
  // position index. `InvalidArgument` when a bound is NaN or a > b.
  std::vector<OverlappingEdge> overlapping(double a, double b) const;

  // "inserted" or "walk_stopped".
  static std::string_view status_name(STATUS status);

  // --- Many answers at once ------------------------------------------------------------

  // The macro elements of `edges` (the macro vertices of `vertices`) in columns, for readers
  // of many lists: no string per entry, `curves` is `curve_names()`. `InvalidArgument` for
  // an index out of range, before anything is read.
  MacroColumns macro_element_columns(absl::Span<index_t const> edges) const;
  MacroColumns macro_vertex_columns(absl::Span<index_t const> vertices) const;

  // `overlapping(a, b)` in columns: the same edges in the same order, with the same checks.
  OverlappingColumns overlapping_columns(double a, double b) const;

  // Lets the caller stop a long `insert`: `check` is called every so many inserted edges
  // (`BackgroundLineInserter::set_interrupt_check`), and whatever it throws passes on after
  // the insertion was undone, as for any failure of `insert`. Empty: no check.
  void set_interrupt_check(std::function<void()> check);

 private:
  class Impl;
  CurveHandle insert_one(std::string const& name, absl::Span<double const> points,
                         absl::Span<Edge const> edges,
                         std::optional<absl::Span<index_t const>> only, char const* operation);
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk
