// Fuzz target of the background line: reads a byte string as a background curve, a few input
// curves and a sequence of operations (insertions of whole curves or listed edges, splits,
// collapses, moves, cleans, path queries, clones, curve removals), and checks after each
// operation that the curve is consistent, that the macro-information store covers it, and
// that no macro information already recorded was lost or changed beyond what the operation
// documents.
// After an insertion it also checks that each placed vertex lies at its input point and
// records it, that a point refused as "Failed to insert vertex." lies on no live edge, and
// (where no vertex has more than two edges) that the path query follows every edge reported
// inserted. `LumoraException`s with the messages an operation documents are expected; any
// other exception, a crash, a sanitizer report or a broken invariant aborts with a
// description.
//
// Built twice: with clang and libFuzzer (tests/fuzz/CMakeLists.txt, scripts/fuzz), and with
// the project's compiler into the corpus replay test (tests/reliability), which feeds every
// file of tests/fuzz/corpus to the same entry point.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <absl/strings/numbers.h>
#include <absl/strings/str_cat.h>

#include <basic/strings.hpp>
#include <velk/background_line.hpp>

#include "reliability/curve_invariants.hpp"

namespace {

using velk::EdgedCurve;
using velk::EdgedCurveBuilder;
using velk::EdgeVertex;
using velk::index_t;
using velk::LumoraException;
using velk::MeshEdge;
using velk::MeshElement;
using velk::MeshVertex;
using velk::Point;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::internal::BackgroundLineInserter;
using velk::internal::BackgroundLineModifier;
using velk::internal::ElementInsertionInfo;
using velk::internal::ElementRemovalInfo;
using velk::reliability::same;
using velk::reliability::Snapshot;
using velk::reliability::take_snapshot;

// Bounds that keep one input fast and every chain below the path query's step limit.
constexpr std::size_t MAX_OPERATIONS = 48;
constexpr index_t MAX_BACKGROUND_VERTICES = 32;
constexpr index_t MAX_INPUT_VERTICES = 12;
constexpr index_t MAX_EDGES_BEFORE_STOP = 600;
// Operation bytes from this value on remove a curve.
constexpr std::uint8_t REMOVE_FROM_BYTE = 247;
constexpr unsigned REMOVE_CODE = 13;

[[noreturn]] void fail(std::string_view what) {
  std::fprintf(stderr, "background line fuzz finding: %.*s\n", static_cast<int>(what.size()),
               what.data());
  std::fflush(stderr);
  std::abort();
}

void require(std::string const& violation, std::string_view context) {
  if (!violation.empty()) fail(absl::StrCat(velk::as_absl(context), ": ", violation));
}

// Reads the input from the front; past its end every read gives 0.
class Bytes {
 public:
  Bytes(std::uint8_t const* data, std::size_t size) : data_{data}, size_{size} {}

  bool empty() const { return position_ >= size_; }

  std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

  // A coordinate: mostly points of a grid of step 0.5 on [0, 32), with offsets inside,
  // on and past the tolerance, points between grid nodes, and now and then a non-finite or
  // huge value.
  double coordinate() {
    auto const value = byte();
    auto const kind = byte();
    auto const base = (value & 63) * 0.5;
    switch (kind % 16) {
      case 8:
        return base + 0.5e-8;
      case 9:
        return base - 0.5e-8;
      case 10:
        return base + 1e-8;
      case 11:
        return base - 1.5e-8;
      case 12:
        return base + 1e-7;
      case 13:
        return base + 0.25;
      case 14: {
        constexpr std::array<double, 4> specials{std::numeric_limits<double>::quiet_NaN(),
                                                 std::numeric_limits<double>::infinity(),
                                                 -std::numeric_limits<double>::infinity(), 1e300};
        return specials[value >> 6];
      }
      case 15:
        return base - 1e-9 * (value >> 6);
      default:
        return base;
    }
  }

 private:
  std::uint8_t const* data_;
  std::size_t size_;
  std::size_t position_{0};
};

// Builds a curve from the bytes: vertices, then edges as a chain in index order, a chain in
// coordinate order (a proper line when the coordinates differ), two such chains, or
// arbitrary pairs (loops included). Edge orientations are drawn too.
void build_curve(Bytes& in, EdgedCurve<1>& curve, index_t max_vertices) {
  EdgedCurveBuilder<1> builder{curve};
  builder.set_name(absl::StrCat("fuzz-", in.byte() % 4));
  auto const nb_vertices = static_cast<index_t>(in.byte() % (max_vertices + 1));
  std::vector<index_t> order;
  for (index_t vertex = 0; vertex < nb_vertices; ++vertex) {
    builder.create_point(Point<1>{{in.coordinate()}});
    order.push_back(vertex);
  }
  auto const mode = in.byte() % 4;
  auto const link = [&](index_t first, index_t second) {
    if (in.byte() & 1) std::swap(first, second);
    builder.create_edge(first, second);
  };
  if (mode == 3) {
    if (nb_vertices == 0) return;
    auto const nb_edges = in.byte() % (2 * max_vertices);
    for (unsigned edge = 0; edge < nb_edges; ++edge) {
      auto const first = in.byte() % nb_vertices;
      link(first, in.byte() % nb_vertices);
    }
    return;
  }
  if (mode != 0) {
    std::stable_sort(order.begin(), order.end(), [&curve](index_t lhs, index_t rhs) {
      return curve.point(lhs).value(0) < curve.point(rhs).value(0);
    });
  }
  index_t gap = mode == 2 && nb_vertices > 1 ? 1 + in.byte() % (nb_vertices - 1) : 0;
  for (index_t rank = 1; rank < order.size(); ++rank) {
    if (rank != gap) link(order[rank - 1], order[rank]);
  }
}

template <typename T>
bool is_prefix(std::vector<T> const& prefix, std::vector<T> const& list) {
  return prefix.size() <= list.size() && std::equal(prefix.begin(), prefix.end(), list.begin());
}

// The structural invariants, checked after every operation.
void check_structure(BackgroundLine const& line, std::string_view context) {
  require(velk::reliability::curve_consistency(line.line()), context);
  require(velk::reliability::macro_store_coverage(line), context);
}

// After insertions or splits, which only append: the elements that existed keep their
// points and lists (a live edge's list may grow at its end, a vertex's too); an edge that
// was detached already keeps its list; new vertices and edges come from splits, one vertex and two
// edges each, and both new edges start with the list of the edge they replace.
void check_appended(Snapshot const& before, BackgroundLine const& line, std::string_view context) {
  auto const after = take_snapshot(line);
  auto const& curve = line.line();
  if (after.nb_vertices < before.nb_vertices || after.nb_edges < before.nb_edges) {
    fail(absl::StrCat(velk::as_absl(context), ": elements disappeared"));
  }
  for (index_t vertex = 0; vertex < before.nb_vertices; ++vertex) {
    if (after.point_bits[vertex] != before.point_bits[vertex]) {
      fail(absl::StrCat(velk::as_absl(context), ": vertex ", vertex, " moved"));
    }
    if (!is_prefix(before.macro_vertices[vertex], after.macro_vertices[vertex])) {
      fail(absl::StrCat(velk::as_absl(context), ": macro vertices of vertex ", vertex,
                        " were lost"));
    }
  }
  for (index_t edge = 0; edge < before.nb_edges; ++edge) {
    if (after.edges[edge] != before.edges[edge]) {
      fail(absl::StrCat(velk::as_absl(context), ": edge ", edge, " changed its vertices"));
    }
    if (before.detached[edge] && !after.detached[edge]) {
      fail(absl::StrCat(velk::as_absl(context), ": detached edge ", edge, " came back"));
    }
    auto const& list_before = before.macro_elements[edge];
    auto const& list_after = after.macro_elements[edge];
    // An edge tagged and then split within one insertion is detached with a longer list.
    if (before.detached[edge] ? list_after != list_before : !is_prefix(list_before, list_after)) {
      fail(absl::StrCat(velk::as_absl(context), ": macro elements of edge ", edge, " were lost"));
    }
  }
  auto const new_vertices = after.nb_vertices - before.nb_vertices;
  if (after.nb_edges - before.nb_edges != 2 * new_vertices) {
    fail(absl::StrCat(velk::as_absl(context), ": ", after.nb_edges - before.nb_edges,
                      " new edges for ", new_vertices, " new vertices"));
  }
  for (index_t split = 0; split < new_vertices; ++split) {
    auto const vertex = before.nb_vertices + split;
    auto const first = before.nb_edges + 2 * split;
    auto const second = first + 1;
    auto const first_ends = curve.edge_vertices(first);
    auto const second_ends = curve.edge_vertices(second);
    if (first_ends[1] != vertex || second_ends[0] != vertex) {
      fail(absl::StrCat(velk::as_absl(context), ": new edges ", first, " and ", second,
                        " do not meet at new vertex ", vertex));
    }
    bool replaced = false;
    for (index_t edge = 0; edge < after.nb_edges && !replaced; ++edge) {
      if (!after.detached[edge] || after.edges[edge][0] != first_ends[0] ||
          after.edges[edge][1] != second_ends[1]) {
        continue;
      }
      replaced = is_prefix(after.macro_elements[edge], after.macro_elements[first]) &&
                 is_prefix(after.macro_elements[edge], after.macro_elements[second]);
    }
    if (!replaced) {
      fail(absl::StrCat(velk::as_absl(context), ": new edges ", first, " and ", second,
                        " do not start with the list of the edge they replaced"));
    }
  }
}

// Everything equal between two snapshots, else a finding.
void check_unchanged(Snapshot const& before, BackgroundLine const& line, std::string_view context) {
  if (!same(before, take_snapshot(line)))
    fail(absl::StrCat(velk::as_absl(context), ": the line changed"));
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool expected_error(LumoraException const& error, std::initializer_list<std::string_view> tags) {
  for (auto const tag : tags) {
    if (starts_with(error.what(), tag)) return true;
  }
  return false;
}

// Records the placed background vertices that the inserter's debug lines report.
struct PlacementTrace {
  std::vector<index_t> vertices;

  void on_line(std::string_view line) {
    static constexpr std::string_view LABEL = "background_vertices[v] = ";
    if (!starts_with(line, LABEL)) return;
    std::uint32_t vertex = 0;
    if (!absl::SimpleAtoi(velk::as_absl(line.substr(LABEL.size())), &vertex)) {
      fail(absl::StrCat("unreadable debug line: ", velk::as_absl(line)));
    }
    vertices.push_back(vertex);
  }
};

PlacementTrace* active_trace = nullptr;

// One background line with its writers.
struct Session {
  Session(std::unique_ptr<EdgedCurve<1>> curve_in, std::unique_ptr<BackgroundLine> line_in)
      : curve{std::move(curve_in)},
        line{line_in ? std::move(line_in) : std::make_unique<BackgroundLine>(*curve)},
        curve_builder{*curve},
        line_builder{*line},
        modifier{*line, line_builder, curve_builder},
        inserter{std::make_unique<BackgroundLineInserter>(
            velk::internal::ModifiableObject<BackgroundLine>{*line, modifier}, line_builder)} {}

  std::unique_ptr<EdgedCurve<1>> curve;
  std::unique_ptr<BackgroundLine> line;
  EdgedCurveBuilder<1> curve_builder;
  BackgroundLineBuilder line_builder;
  BackgroundLineModifier modifier;
  std::unique_ptr<BackgroundLineInserter> inserter;
};

// A live edge whose interval, widened by half the tolerance, holds `x` (edges with a NaN
// end hold nothing); empty for a NaN or infinite `x`. Half: a point right at the tolerance
// may fall either way by rounding.
std::optional<index_t> live_edge_containing(EdgedCurve<1> const& curve, double x) {
  constexpr double MARGIN = velk::GEOMETRIC_TOLERANCE / 2;
  if (!std::isfinite(x)) return std::nullopt;
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const ends = curve.edge_vertices(edge);
    auto const a = curve.point(ends[0]).value(0);
    auto const b = curve.point(ends[1]).value(0);
    if (std::isnan(a) || std::isnan(b)) continue;
    if (std::min(a, b) - MARGIN <= x && x <= std::max(a, b) + MARGIN) {
      return edge;
    }
  }
  return std::nullopt;
}

bool degrees_at_most_two(EdgedCurve<1> const& curve) {
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    if (curve.edges_around_vertex(vertex).size() > 2) return false;
  }
  return true;
}

// An insertion: the report lists the requested edges in order; each placed vertex is at
// its input point (within the tolerance) and records its input vertex; when every vertex
// has at most two edges, an edge reported inserted between two distinct vertices can be
// followed by the path query.
void insert(Session& session, EdgedCurve<1> const& input, std::vector<index_t> const& edges,
            bool whole_curve) {
  auto const& line = *session.line;
  auto const& curve = line.line();
  auto const before = take_snapshot(line);
  PlacementTrace trace;
  active_trace = &trace;
  std::optional<ElementInsertionInfo> report;
  try {
    report = whole_curve ? session.inserter->insert_curve(input)
                         : session.inserter->insert_curve_edges(input, edges);
  } catch (LumoraException const& error) {
    // Refused points, input edge indices out of range, and (inserting the background into
    // itself) detached input edges that name a vertex removed by clean_vertices.
    if (!expected_error(error, {"[BackgroundLineInserter::insert_curve] Failed to insert vertex.",
                                "[Graph::edge_vertices] edge index",
                                "[EdgedCurve::point] vertex index 4294967295"})) {
      active_trace = nullptr;
      fail(absl::StrCat("insertion threw: ", error.what()));
    }
    if (starts_with(error.what(), "[BackgroundLineInserter::insert_curve] Failed")) {
      // The point refused is the one after the last placed: it must be off every live edge.
      auto const placed = trace.vertices.size();
      auto const input_vertex = input.edge_vertices(edges.at(placed / 2))[placed % 2];
      auto const x = input.point(input_vertex).value(0);
      if (auto const edge = live_edge_containing(curve, x)) {
        active_trace = nullptr;
        fail(absl::StrCat("point ", x, " refused although live edge ", *edge, " holds it"));
      }
    }
  }
  active_trace = nullptr;
  check_structure(line, "insertion");
  check_appended(before, line, "insertion");
  if (trace.vertices.size() > 2 * edges.size()) fail("more placements than edge ends");
  for (std::size_t placed = 0; placed < trace.vertices.size(); ++placed) {
    auto const edge = edges[placed / 2];
    auto const input_vertex = input.edge_vertices(edge)[placed % 2];
    auto const vertex = trace.vertices[placed];
    if (vertex >= curve.nb_vertices()) fail("placed vertex out of range");
    auto const x = input.point(input_vertex).value(0);
    if (!(std::abs(curve.point(vertex).value(0) - x) <= velk::GEOMETRIC_TOLERANCE)) {
      fail(absl::StrCat("input vertex at ", x, " placed on background vertex ", vertex, " at ",
                        curve.point(vertex).value(0)));
    }
    auto const& recorded = line.macro_vertices(vertex);
    if (std::find(recorded.begin(), recorded.end(), MeshVertex{input.id(), input_vertex}) ==
        recorded.end()) {
      fail(absl::StrCat("background vertex ", vertex, " does not record input vertex ",
                        input_vertex));
    }
  }
  if (!report) return;
  if (report->size() != edges.size() || trace.vertices.size() != 2 * edges.size()) {
    fail("the report does not list every requested edge");
  }
  auto const path_checks = degrees_at_most_two(curve);
  for (index_t entry = 0; entry < report->size(); ++entry) {
    if (report->element(entry) != edges[entry]) fail("report entries out of order");
    auto const first = trace.vertices[2 * entry];
    auto const last = trace.vertices[2 * entry + 1];
    auto const status = report->status(entry);
    if (status == ElementInsertionInfo::INSERTION_STATUS::walk_stopped && first == last) {
      fail("a walk reported stopped between equal vertices");
    }
    if (status != ElementInsertionInfo::INSERTION_STATUS::inserted || first == last ||
        !path_checks) {
      continue;
    }
    MeshEdge const macro_edge{input.id(), edges[entry]};
    std::optional<std::vector<index_t>> chain;
    try {
      chain = line.macro_edge_path({first, last}, macro_edge);
    } catch (LumoraException const& error) {
      fail(absl::StrCat("path query after insertion threw: ", error.what()));
    }
    if (!chain) {
      fail(absl::StrCat("input edge ", edges[entry], " reported inserted from vertex ", first,
                        " to ", last, " but no path carries it"));
    }
    require(velk::reliability::chain_validity(line, {first, last}, macro_edge, *chain),
            "path after insertion");
  }
}

template <typename Entry>
std::vector<Entry> without(std::vector<Entry> list, velk::uuid const& id) {
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&id](Entry const& entry) { return entry.mesh_id == id; }),
             list.end());
  return list;
}

// A removal: nothing names the curve afterwards; every other list is what it was without
// the curve's entries, in the same order; the counts are the entries that were on live edges
// and on vertices with edges; each merged vertex was made by an insertion, carried nothing
// and lost its edges, one live edge going with it.
void remove(Session& session, velk::uuid const& id, bool clean_after) {
  auto const& line = *session.line;
  auto const& curve = line.line();
  auto const before = take_snapshot(line);
  std::size_t expected_vertices = 0;
  std::size_t expected_elements = 0;
  std::size_t live_before = 0;
  for (index_t vertex = 0; vertex < before.nb_vertices; ++vertex) {
    if (before.around[vertex].empty()) continue;
    for (auto const& macro_vertex : before.macro_vertices[vertex]) {
      expected_vertices += macro_vertex.mesh_id == id ? 1 : 0;
    }
  }
  for (index_t edge = 0; edge < before.nb_edges; ++edge) {
    if (before.detached[edge]) continue;
    ++live_before;
    for (auto const& element : before.macro_elements[edge]) {
      expected_elements += element.mesh_id == id ? 1 : 0;
    }
  }
  ElementRemovalInfo report;
  try {
    report = session.inserter->remove_curve(id);
  } catch (LumoraException const& error) {
    fail(absl::StrCat("remove_curve threw: ", error.what()));
  }
  check_structure(line, "removal");
  auto const after = take_snapshot(line);
  if (after.nb_vertices != before.nb_vertices || after.nb_edges != before.nb_edges) {
    fail("a removal created or deleted elements");
  }
  if (report.macro_vertices_removed != expected_vertices ||
      report.macro_elements_removed != expected_elements) {
    fail(absl::StrCat("removal reported ", report.macro_vertices_removed, " macro vertices and ",
                      report.macro_elements_removed, " macro elements, expected ",
                      expected_vertices, " and ", expected_elements));
  }
  auto const marks = curve.vertex_attribute_manager().find_attribute<std::uint8_t>(
      BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME);
  std::size_t merged = 0;
  for (index_t vertex = 0; vertex < after.nb_vertices; ++vertex) {
    if (after.macro_vertices[vertex] != without(before.macro_vertices[vertex], id)) {
      fail(absl::StrCat("removal left vertex ", vertex, " with a wrong list"));
    }
    if (before.around[vertex].empty() || !after.around[vertex].empty()) continue;
    ++merged;
    if (before.around[vertex].size() != 2 || !after.macro_vertices[vertex].empty() || !marks ||
        marks->value(vertex) != BackgroundLine::MERGED_VERTEX_MARK) {
      fail(absl::StrCat("removal merged vertex ", vertex, " which it must not"));
    }
  }
  std::size_t live_after = 0;
  for (index_t edge = 0; edge < after.nb_edges; ++edge) {
    if (after.macro_elements[edge] != without(before.macro_elements[edge], id)) {
      fail(absl::StrCat("removal left edge ", edge, " with a wrong list"));
    }
    if (!after.detached[edge]) ++live_after;
    if (after.detached[edge] && !before.detached[edge]) {
      auto const ends = curve.edge_vertices(edge);
      if (!after.around[ends[0]].empty() && !after.around[ends[1]].empty()) {
        fail(absl::StrCat("removal detached edge ", edge, " without merging a vertex of it"));
      }
    }
  }
  if (merged != report.vertices_merged || live_after + merged != live_before) {
    fail(absl::StrCat("removal reported ", report.vertices_merged, " merges; ", merged,
                      " vertices lost their edges, live edges went from ", live_before, " to ",
                      live_after));
  }
  // Once more: nothing left to remove.
  if (session.inserter->remove_curve(id) != ElementRemovalInfo{}) {
    fail("a second removal of the same curve found something");
  }
  check_unchanged(after, line, "second removal");
  if (clean_after) {
    session.modifier.clean_edges();
    session.modifier.clean_vertices();
    check_structure(line, "clean after removal");
  }
}

void compare_clone(BackgroundLine const& original, EdgedCurve<1> const& copy,
                   BackgroundLine const* copy_line) {
  auto const& curve = original.line();
  if (copy.id() != curve.id() || copy.name() != curve.name()) fail("clone lost the identity");
  auto const reference = take_snapshot(original);
  if (copy_line) {
    if (!same(reference, take_snapshot(*copy_line))) fail("clone differs from the original");
    return;
  }
  if (copy.nb_vertices() != reference.nb_vertices || copy.nb_edges() != reference.nb_edges) {
    fail("clone_line has other element counts");
  }
  for (index_t edge = 0; edge < copy.nb_edges(); ++edge) {
    if (copy.edge_vertices(edge) != reference.edges[edge]) fail("clone_line has other edges");
  }
  if (copy.vertex_attribute_manager().attribute_exists(
          velk::internal::MacroInfo::VERTEX_ATTRIBUTE_NAME) ||
      copy.edge_attribute_manager().attribute_exists(
          velk::internal::MacroInfo::EDGE_ATTRIBUTE_NAME)) {
    fail("clone_line kept the macro-information attributes");
  }
}

void run(Bytes& in) {
  auto background = std::make_unique<EdgedCurve<1>>();
  build_curve(in, *background, MAX_BACKGROUND_VERTICES);
  std::vector<std::unique_ptr<EdgedCurve<1>>> inputs;
  unsigned const nb_inputs = 1u + in.byte() % 3u;
  for (unsigned input = 0; input < nb_inputs; ++input) {
    inputs.push_back(std::make_unique<EdgedCurve<1>>());
    build_curve(in, *inputs.back(), MAX_INPUT_VERTICES);
  }
  auto session = std::make_unique<Session>(std::move(background), nullptr);
  check_structure(*session->line, "construction");

  for (std::size_t operation = 0; operation < MAX_OPERATIONS && !in.empty(); ++operation) {
    auto& line = *session->line;
    auto const& curve = line.line();
    if (curve.nb_edges() > MAX_EDGES_BEFORE_STOP) return;
    // The nine top byte values remove a curve; the others keep the meaning they had before
    // removal existed, so that the corpus still replays what it was made for.
    auto const op = in.byte();
    auto const code = op >= REMOVE_FROM_BYTE ? REMOVE_CODE : op % 13;
    auto const pick_input = [&]() -> EdgedCurve<1> const& {
      return *inputs[in.byte() % inputs.size()];
    };
    auto const nb_vertices = curve.nb_vertices();
    auto const nb_edges = curve.nb_edges();
    // Indices one past the end are drawn too, to try the range checks.
    auto const pick_vertex = [&]() { return static_cast<index_t>(in.byte() % (nb_vertices + 1)); };
    auto const pick_edge = [&]() { return static_cast<index_t>(in.byte() % (nb_edges + 1)); };
    switch (code) {
      case 0: {
        auto const& input = pick_input();
        std::vector<index_t> edges(input.nb_edges());
        for (index_t edge = 0; edge < edges.size(); ++edge) edges[edge] = edge;
        insert(*session, input, edges, true);
        break;
      }
      case 1: {
        auto const& input = pick_input();
        std::vector<index_t> edges(in.byte() % 8);
        for (auto& edge : edges) edge = in.byte() % (input.nb_edges() + 1);
        insert(*session, input, edges, false);
        break;
      }
      case 2: {
        // The background curve inserted into itself: its arrays grow while it is read.
        std::vector<index_t> edges(in.byte() % 4);
        for (auto& edge : edges) edge = in.byte() % (nb_edges + 1);
        insert(*session, curve, edges, false);
        break;
      }
      case 3:
      case 4: {
        auto const edge = pick_edge();
        auto const selector = in.byte();
        double x = 0.0;
        if (edge < nb_edges && selector < 200) {
          auto const ends = curve.edge_vertices(edge);
          auto const a = ends[0] < nb_vertices ? curve.point(ends[0]).value(0) : 0.0;
          auto const b = ends[1] < nb_vertices ? curve.point(ends[1]).value(0) : 0.0;
          x = a + (b - a) * (selector / 199.0);
        } else {
          x = in.coordinate();
        }
        auto const before = take_snapshot(line);
        if (code == 3) {
          try {
            session->modifier.split_edge(edge, Point<1>{{x}});
          } catch (LumoraException const& error) {
            if (!expected_error(error, {"[EdgedCurveModifier::split_edge]"})) {
              fail(absl::StrCat("split threw: ", error.what()));
            }
            check_unchanged(before, line, "refused split");
            break;
          }
          check_structure(line, "split");
          check_appended(before, line, "split");
          if (curve.nb_vertices() != nb_vertices + 1 || !line.macro_vertices(nb_vertices).empty()) {
            fail("a split made no new vertex or gave it macro vertices");
          }
          break;
        }
        velk::GraphModifier::CollapseEdgeInfo info;
        try {
          info = session->modifier.collapse_edge(edge, Point<1>{{x}});
        } catch (LumoraException const& error) {
          if (!expected_error(error, {"[EdgedCurveModifier::collapse_edge]"})) {
            fail(absl::StrCat("collapse threw: ", error.what()));
          }
          check_unchanged(before, line, "refused collapse");
          break;
        }
        check_structure(line, "collapse");
        auto const after = take_snapshot(line);
        if (after.macro_elements != before.macro_elements) fail("a collapse changed edge lists");
        auto const remaining = info.vertex_mapping.first;
        std::vector<MeshVertex> merged;
        for (auto const vertex : info.vertex_mapping.second) {
          for (auto const& macro_vertex : before.macro_vertices[vertex]) {
            if (std::find(merged.begin(), merged.end(), macro_vertex) == merged.end()) {
              merged.push_back(macro_vertex);
            }
          }
        }
        for (index_t vertex = 0; vertex < nb_vertices; ++vertex) {
          auto const& expected = vertex == remaining ? merged : before.macro_vertices[vertex];
          if (after.macro_vertices[vertex] != expected) {
            fail(absl::StrCat("collapse left vertex ", vertex, " with a wrong list"));
          }
        }
        break;
      }
      case 5: {
        auto const vertex = pick_vertex();
        auto const x = in.coordinate();
        auto const before = take_snapshot(line);
        try {
          session->modifier.move_point(vertex, Point<1>{{x}});
        } catch (LumoraException const& error) {
          if (!expected_error(error, {"[EdgedCurveModifier::move_point]"})) {
            fail(absl::StrCat("move threw: ", error.what()));
          }
          check_unchanged(before, line, "refused move");
          break;
        }
        check_structure(line, "move");
        auto after = take_snapshot(line);
        if (after.macro_vertices != before.macro_vertices ||
            after.macro_elements != before.macro_elements || after.edges != before.edges) {
          fail("a move changed the topology or the macro information");
        }
        break;
      }
      case 6:
      case 7: {
        auto const before = take_snapshot(line);
        auto const old_to_new =
            code == 6 ? session->modifier.clean_edges() : session->modifier.clean_vertices();
        check_structure(line, code == 6 ? "clean_edges" : "clean_vertices");
        auto const after = take_snapshot(line);
        auto const count = code == 6 ? before.nb_edges : before.nb_vertices;
        if (old_to_new.size() != count) fail("a clean mapping of the wrong size");
        index_t kept = 0;
        for (index_t old = 0; old < count; ++old) {
          auto const now = old_to_new[old];
          if (now == velk::NO_ID) {
            if (code == 6 ? !before.detached[old] : !before.around[old].empty()) {
              fail(absl::StrCat("a clean removed element ", old, " still in use"));
            }
            continue;
          }
          if (now != kept++) fail("a clean did not keep the order");
          if (code == 6 ? after.macro_elements[now] != before.macro_elements[old]
                        : after.macro_vertices[now] != before.macro_vertices[old]) {
            fail(absl::StrCat("a clean lost the macro information of element ", old));
          }
        }
        if ((code == 6 ? after.nb_edges : after.nb_vertices) != kept) {
          fail("a clean kept another count");
        }
        if (code == 6 ? after.macro_vertices != before.macro_vertices
                      : after.macro_elements != before.macro_elements) {
          fail("a clean changed the other kind of element");
        }
        break;
      }
      case 8: {
        std::array<index_t, 2> const vertices{pick_vertex(), pick_vertex()};
        auto const& input = in.byte() & 1 ? curve : pick_input();
        MeshEdge const macro_edge{input.id(), static_cast<index_t>(in.byte() % 16)};
        auto const before = take_snapshot(line);
        std::optional<std::vector<index_t>> chain;
        try {
          chain = line.macro_edge_path(vertices, macro_edge);
        } catch (LumoraException const& error) {
          if (!expected_error(error, {"[BackgroundSolid::macro_edge_path] Too many steps",
                                      "[BackgroundLine::macro_edge_path] vertex index"})) {
            fail(absl::StrCat("path query threw: ", error.what()));
          }
        }
        check_unchanged(before, line, "path query");
        if (chain)
          require(velk::reliability::chain_validity(line, vertices, macro_edge, *chain),
                  "path query");
        break;
      }
      case 9: {
        auto const before = take_snapshot(line);
        auto cloned = line.clone();
        compare_clone(line, *std::get<0>(cloned), std::get<1>(cloned).get());
        auto const mode = in.byte() % 3;
        if (mode == 0) {
          // Go on working on the clone; the original is destroyed with its session.
          session = std::make_unique<Session>(std::move(std::get<0>(cloned)),
                                              std::move(std::get<1>(cloned)));
          check_structure(*session->line, "working on a clone");
          break;
        }
        // Either may go first: the line leaves a destroyed curve alone.
        if (mode == 1) {
          std::get<0>(cloned).reset();
          std::get<1>(cloned).reset();
        } else {
          std::get<1>(cloned).reset();
          std::get<0>(cloned).reset();
        }
        check_unchanged(before, line, "clone");
        break;
      }
      case 10: {
        auto const before = take_snapshot(line);
        auto const copy = line.clone_line();
        compare_clone(line, *copy, nullptr);
        check_unchanged(before, line, "clone_line");
        break;
      }
      case 11: {
        // A fresh inserter starts without an element search.
        session->inserter = std::make_unique<BackgroundLineInserter>(
            velk::internal::ModifiableObject<BackgroundLine>{line, session->modifier},
            session->line_builder);
        break;
      }
      case REMOVE_CODE: {
        // One of the inputs, the background curve itself (inserted into itself), or a curve
        // never inserted.
        auto const which = in.byte();
        auto const id = which % 4 == 3   ? velk::uuid{}
                        : which % 4 == 2 ? curve.id()
                                         : inputs[which % inputs.size()]->id();
        remove(*session, id, which & 4);
        break;
      }
      default: {
        // A second, independent line over a clone of the input curves' first one: nothing
        // of the main line may change.
        auto const before = take_snapshot(line);
        auto other = inputs.front()->clone();
        {
          Session side{std::move(other), nullptr};
          auto const& input = *inputs.back();
          std::vector<index_t> edges(input.nb_edges());
          for (index_t edge = 0; edge < edges.size(); ++edge) edges[edge] = edge;
          insert(side, input, edges, true);
        }
        check_unchanged(before, line, "work on another line");
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static bool const initialized = [] {
    velk::BackgroundLineLibrary::initialize();
    velk::Logger::set_level(velk::Logger::LEVEL::debug);
    velk::Logger::set_handler([](velk::Logger::LEVEL, std::string_view line) {
      if (active_trace) active_trace->on_line(line);
    });
    return true;
  }();
  (void)initialized;
  Bytes in{data, size};
  run(in);
  return 0;
}
