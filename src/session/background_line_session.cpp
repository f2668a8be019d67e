#include <velk/background_line_session.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>

#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <basic/strings.hpp>
#include <geometry/point.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <velk/background_line/background_checks.hpp>
#include <velk/background_line/background_line_builder.hpp>
#include <velk/background_line/background_line_inserter.hpp>
#include <velk/background_line/background_line_library.hpp>
#include <velk/background_line/background_line_modifier.hpp>
#include <velk/background_line/scaling.hpp>

namespace velk {

InvalidArgument::~InvalidArgument() = default;

namespace {

constexpr char const* CONSTRUCT = "BackgroundLineSession::BackgroundLineSession";
constexpr char const* INSERT = "BackgroundLineSession::insert";

std::string number(double value) { return Point<1>{{value}}.string(); }

[[noreturn]] void refuse(char const* operation, std::string_view what) {
  throw InvalidArgument{absl::StrCat("[", operation, "] ", as_absl(what))};
}

// The power of two of the library's tolerance rule (`scaling_for_tolerance`: the largest
// tolerance in effect not above the one asked).
int scale_exponent_for(double tolerance) {
  if (!(tolerance > 0) || !std::isfinite(tolerance)) {
    refuse(CONSTRUCT,
           absl::StrCat("tolerance ", number(tolerance), " must be positive and finite"));
  }
  auto const scaling = scaling_for_tolerance(tolerance);
  if (!std::isnormal(scaling.tolerance)) {
    refuse(CONSTRUCT, absl::StrCat("tolerance ", number(tolerance),
                                   " is out of the range that "
                                   "coordinates can be scaled to"));
  }
  return scaling.exponent;
}

// What the checks of a curve say in their messages: "curve "well-1": " or "background: ".
std::string subject(std::string_view curve_name, bool background) {
  if (background) return "background: ";
  return absl::StrCat("curve \"", as_absl(curve_name), "\": ");
}

// The points multiplied by 2^exponent, each checked: finite, and exactly representable
// once scaled (neither overflowing nor falling to a subnormal value).
std::vector<double> scaled_points(absl::Span<double const> points, int exponent,
                                  char const* operation, std::string const& who) {
  std::vector<double> scaled(points.size());
  for (std::size_t vertex = 0; vertex < points.size(); ++vertex) {
    auto const x = points[vertex];
    if (!std::isfinite(x)) {
      refuse(operation, absl::StrCat(who, "point ", vertex, " is not finite (", number(x), ")"));
    }
    auto const y = std::ldexp(x, exponent);
    if (!std::isfinite(y) || (x != 0 && !std::isnormal(y))) {
      refuse(operation, absl::StrCat(who, "point ", vertex, " (", number(x), ") ",
                                     std::isfinite(y) ? "underflows" : "overflows",
                                     " when scaled by 2^", exponent, " for the tolerance"));
    }
    scaled[vertex] = y;
  }
  return scaled;
}

// The given edges, each checked, or the chain through the points when none are given.
std::vector<BackgroundLineSession::Edge> checked_edges(
    absl::Span<BackgroundLineSession::Edge const> edges, std::size_t nb_points,
    char const* operation, std::string const& who) {
  std::vector<BackgroundLineSession::Edge> result;
  if (edges.empty()) {
    if (nb_points > 1) result.reserve(nb_points - 1);
    for (index_t vertex = 1; vertex < nb_points; ++vertex) result.push_back({vertex - 1, vertex});
    return result;
  }
  for (std::size_t edge = 0; edge < edges.size(); ++edge) {
    for (auto const vertex : edges[edge]) {
      if (vertex >= nb_points) {
        refuse(operation, absl::StrCat(who, "edge ", edge, " names vertex ", vertex,
                                       ", out of range (", nb_points, " points)"));
      }
    }
    if (edges[edge][0] == edges[edge][1]) {
      refuse(operation,
             absl::StrCat(who, "edge ", edge, " joins vertex ", edges[edge][0], " to itself"));
    }
  }
  result.assign(edges.begin(), edges.end());
  return result;
}

// Room for one more element of `list`, growing its capacity geometrically (an exact
// `reserve(size() + 1)` per call would copy the list at every insertion).
template <typename List>
void make_room(List& list) {
  if (list.size() == list.capacity()) list.reserve(std::max<std::size_t>(8, 2 * list.capacity()));
}

// How many points or edges a long loop of `insert` handles between two interrupt checks.
constexpr std::size_t INTERRUPT_CHECK_STRIDE = 1u << 16;

// Calls `check`, when set, on every INTERRUPT_CHECK_STRIDE-th `item`.
void maybe_check(std::function<void()> const& check, std::size_t item) {
  if (check && item % INTERRUPT_CHECK_STRIDE == INTERRUPT_CHECK_STRIDE - 1) check();
}

void build_curve(EdgedCurveBuilder<1>& builder, std::string_view name,
                 std::vector<double> const& points,
                 std::vector<BackgroundLineSession::Edge> const& edges,
                 std::function<void()> const& interrupt_check = {}) {
  builder.set_name(name);
  for (std::size_t vertex = 0; vertex < points.size(); ++vertex) {
    builder.create_point(Point<1>{{points[vertex]}});
    maybe_check(interrupt_check, vertex);
  }
  for (std::size_t edge = 0; edge < edges.size(); ++edge) {
    builder.create_edge(edges[edge][0], edges[edge][1]);
    maybe_check(interrupt_check, edge);
  }
}

}  // namespace

class BackgroundLineSession::Impl {
 public:
  // An input curve, its name and handle, its insertion report and which of its edges were
  // inserted.
  struct InputCurve {
    std::string name;
    CurveHandle handle;
    std::unique_ptr<EdgedCurve<1>> curve;
    std::vector<InsertedEdge> report;
    std::vector<bool> inserted;
  };

  Impl(std::string name, int exponent) : name{std::move(name)}, exponent{exponent} {}
  Impl(Impl const&) = delete;
  Impl& operator=(Impl const&) = delete;

  double unscaled(double x) const { return std::ldexp(x, -exponent); }

  void check_vertex(index_t vertex, char const* operation) const {
    if (vertex >= background.nb_vertices()) {
      refuse(operation, absl::StrCat("background vertex ", vertex, " is out of range (",
                                     background.nb_vertices(), " vertices)"));
    }
  }

  void check_edge(index_t edge, char const* operation) const {
    if (edge >= background.nb_edges()) {
      refuse(operation, absl::StrCat("background edge ", edge, " is out of range (",
                                     background.nb_edges(), " edges)"));
    }
  }

  InputCurve const& input(std::string_view curve_name, char const* operation) const {
    auto const found = by_name.find(curve_name);
    if (found == by_name.end()) {
      refuse(operation, absl::StrCat("no curve is named \"", as_absl(curve_name), "\""));
    }
    return *found->second;
  }

  InputCurve const& input(CurveHandle curve, char const* operation) const {
    if (curve >= by_handle.size() || by_handle[curve] == nullptr) {
      refuse(operation, absl::StrCat("no curve has the handle ", curve));
    }
    return *by_handle[curve];
  }

  // The handle of the curve with uuid `id`, through a hash table made at the first call after
  // the curves changed: the readers of millions of macro entries call it once per entry.
  CurveHandle handle_of(uuid const& id, char const* operation) const {
    if (!lookup_valid) make_lookup();
    auto const found = lookup.find(id);
    if (found == lookup.end()) unknown_curve(id, operation);
    return found->second;
  }

  // Calls `visit(handle, index)` for each entry of a macro list: runs of one curve (the
  // rule: a curve's entries are appended together) are looked up once.
  template <typename View, typename IndexOf>
  void visit_named(View const& view, IndexOf const& index_of,
                   absl::FunctionRef<void(CurveHandle, index_t)> visit,
                   char const* operation) const {
    if (!lookup_valid) make_lookup();
    uuid const* last_id = nullptr;
    CurveHandle last_handle = 0;
    for (auto const& entry : view) {
      if (last_id == nullptr || !(entry.mesh_id == *last_id)) {
        auto const found = lookup.find(entry.mesh_id);
        if (found == lookup.end()) unknown_curve(entry.mesh_id, operation);
        last_id = &found->first;
        last_handle = found->second;
      }
      visit(last_handle, index_of(entry));
    }
  }

  [[noreturn]] static void unknown_curve(uuid const& id, char const* operation) {
    throw LumoraException{absl::StrCat("[", operation,
                                       "] the background records an element of an unknown "
                                       "curve ",
                                       id.string())};
  }

  void make_lookup() const {
    // Made aside and swapped in: a table whose growth failed is dropped whole.
    absl::flat_hash_map<uuid, CurveHandle> table;
    table.reserve(curves.size());
    for (auto const& curve : curves) table.emplace(curve->curve->id(), curve->handle);
    lookup.swap(table);
    lookup_valid = true;
  }

  std::string const& name_of(uuid const& id, char const* operation) const {
    return by_handle[handle_of(id, operation)]->name;
  }

  std::vector<CurveElement> named(internal::MacroListView<MeshElement> const& elements,
                                  char const* operation) const {
    std::vector<CurveElement> result;
    result.reserve(elements.size());
    for (auto const element : elements) {
      result.push_back({name_of(element.mesh_id, operation), element.element_id});
    }
    return result;
  }

  // The lowest background vertex that carries the input vertex, looked for among the ends
  // of the live edges near its point: a placed vertex lies within the tolerance of the
  // point, and splits keep it the end of live edges.
  std::optional<index_t> carrier(InputCurve const& input, index_t vertex) const {
    auto const x = input.curve->point(vertex).value(0);
    MeshVertex const macro{input.curve->id(), vertex};
    std::optional<index_t> best;
    for (auto const edge :
         modifier.edges_overlapping(x - 2 * GEOMETRIC_TOLERANCE, x + 2 * GEOMETRIC_TOLERANCE)) {
      for (auto const end : background.edge_vertices(edge)) {
        if (best && *best <= end) continue;
        auto const carried = line.macro_vertex_view(end);
        if (std::find(carried.begin(), carried.end(), macro) != carried.end()) best = end;
      }
    }
    return best;
  }

  // The index of the first point of the edges to insert (`only`, or every edge when not
  // set) that lies on no background edge.
  std::optional<index_t> point_off_background(std::vector<double> const& points,
                                              std::vector<Edge> const& edges,
                                              std::optional<absl::Span<index_t const>> only) const {
    std::vector<bool> checked(points.size(), false);
    auto const off = [&](index_t vertex) {
      if (checked[vertex]) return false;
      checked[vertex] = true;
      return !modifier.containing_edge(Point<1>{{points[vertex]}}, NO_ID).has_value();
    };
    auto const count = only ? only->size() : edges.size();
    for (std::size_t entry = 0; entry < count; ++entry) {
      maybe_check(interrupt_check, entry);
      auto const& edge = edges[only ? (*only)[entry] : entry];
      for (auto const vertex : edge) {
        if (off(vertex)) return vertex;
      }
    }
    return std::nullopt;
  }

  // Inserts a curve whose name, points and edges were checked (see `checked_curve`).
  InputCurve& insert(std::string const& curve_name, absl::Span<double const> points,
                     std::vector<double> const& scaled, std::vector<Edge> const& all_edges,
                     std::optional<absl::Span<index_t const>> only, char const* operation);

  std::string name;
  int exponent;
  internal::LineStack stack;
  EdgedCurve<1> const& background{stack.curve()};
  internal::BackgroundLine& line{stack.line()};
  internal::BackgroundLineModifier& modifier{stack.modifier()};
  internal::BackgroundLineInserter& inserter{stack.inserter()};

  // The input curves in insertion order, by handle (null once removed) and by name; by uuid
  // through `handle_of`.
  std::vector<std::unique_ptr<InputCurve>> curves;
  std::vector<InputCurve*> by_handle;
  // Ordered maps, not Abseil's hash maps: a hash map of this Abseil whose growth runs out
  // of memory is left broken, where a failed insertion must leave the session whole.
  std::map<std::string, InputCurve*, std::less<>> by_name;

  // `set_interrupt_check`: also called in the long loops of `insert` before the insertion.
  std::function<void()> interrupt_check;

  // `handle_of`'s table, valid until the curves change.
  mutable absl::flat_hash_map<uuid, CurveHandle> lookup;
  mutable bool lookup_valid = false;
};

namespace {

// A curve's arguments, checked and scaled.
struct CheckedCurve {
  std::vector<double> scaled;
  std::vector<BackgroundLineSession::Edge> edges;
};

CheckedCurve checked_curve(int exponent, std::string const& who, absl::Span<double const> points,
                           absl::Span<BackgroundLineSession::Edge const> edges,
                           std::optional<absl::Span<index_t const>> only, char const* operation) {
  CheckedCurve checked{scaled_points(points, exponent, operation, who),
                       checked_edges(edges, points.size(), operation, who)};
  if (only) {
    for (std::size_t entry = 0; entry < only->size(); ++entry) {
      if ((*only)[entry] >= checked.edges.size()) {
        refuse(operation,
               absl::StrCat(who, "entry ", entry, " of the edges to insert names edge ",
                            (*only)[entry], ", out of range (", checked.edges.size(), " edges)"));
      }
    }
  }
  return checked;
}

}  // namespace

BackgroundLineSession::Impl::InputCurve& BackgroundLineSession::Impl::insert(
    std::string const& curve_name, absl::Span<double const> points,
    std::vector<double> const& scaled, std::vector<Edge> const& all_edges,
    std::optional<absl::Span<index_t const>> only, char const* operation) {
  auto input = std::make_unique<InputCurve>();
  input->name = curve_name;
  input->handle = by_handle.size();
  input->curve = std::make_unique<EdgedCurve<1>>();
  input->inserted.assign(all_edges.size(), false);
  {
    EdgedCurveBuilder<1> builder{*input->curve};
    build_curve(builder, curve_name, scaled, all_edges, interrupt_check);
  }
  // All or nothing: when the library fails part-way (memory exhausted, a point on no
  // background edge), it undoes what it did, and the curve is not registered: the session is
  // as before the call, the name free. Room for the registration and the result is made
  // first, so that nothing after a successful insertion can fail.
  input->report.reserve(only ? only->size() : all_edges.size());
  make_room(curves);
  make_room(by_handle);
  // The map's node is made now and linked in afterwards, which allocates nothing.
  decltype(by_name) name_node{{curve_name, input.get()}};
  internal::ElementInsertionInfo report;
  try {
    report = only ? inserter.insert_new_curve_edges(*input->curve, *only)
                  : inserter.insert_new_curve(*input->curve);
  } catch (LumoraException const&) {
    // The library stops at the first point it cannot place: the session says which, in the
    // caller's terms. The check runs only now, so that insertions that succeed pay nothing
    // for it.
    if (auto const vertex = point_off_background(scaled, all_edges, only)) {
      throw LumoraException{absl::StrCat("[", operation, "] ", subject(curve_name, false), "point ",
                                         *vertex, " (", number(points[*vertex]),
                                         ") lies on no background edge; nothing was inserted")};
    }
    throw;
  }
  for (index_t entry = 0; entry < report.size(); ++entry) {
    input->report.push_back({report.element(entry), report.status(entry)});
    input->inserted[report.element(entry)] = true;
  }
  by_name.insert(name_node.extract(name_node.begin()));
  by_handle.push_back(input.get());
  curves.push_back(std::move(input));
  lookup_valid = false;
  return *curves.back();
}

BackgroundLineSession::BackgroundLineSession(absl::Span<double const> points,
                                             absl::Span<Edge const> edges, double tolerance,
                                             std::string name) {
  auto const exponent = scale_exponent_for(tolerance);
  auto const who = subject(name, true);
  auto scaled = scaled_points(points, exponent, CONSTRUCT, who);
  auto const all_edges = checked_edges(edges, points.size(), CONSTRUCT, who);
  BackgroundLineLibrary::initialize();
  warn_about_background(points, all_edges,
                        Scaling{exponent, std::ldexp(GEOMETRIC_TOLERANCE, -exponent)});
  impl_ = std::make_unique<Impl>(std::move(name), exponent);
  build_curve(impl_->stack.curve_builder(), impl_->name, scaled, all_edges);
}

BackgroundLineSession::~BackgroundLineSession() = default;
BackgroundLineSession::BackgroundLineSession(BackgroundLineSession&& other) noexcept = default;
BackgroundLineSession& BackgroundLineSession::operator=(BackgroundLineSession&& other) noexcept =
    default;

namespace {

template <typename ByName>
void check_name(std::string const& name, ByName const& by_name, char const* operation) {
  if (name.empty()) refuse(operation, "a curve needs a name");
  if (by_name.count(name) > 0) {
    refuse(operation, absl::StrCat("a curve is already named \"", name, "\""));
  }
}

}  // namespace

std::vector<InsertedEdge> BackgroundLineSession::insert(std::string const& name,
                                                        absl::Span<double const> points,
                                                        absl::Span<Edge const> edges,
                                                        absl::Span<index_t const> only) {
  auto const subset = only.empty() ? std::nullopt : std::optional<absl::Span<index_t const>>{only};
  // Room for the copy of the report is made first: nothing may fail once the curve is in.
  std::vector<InsertedEdge> result;
  auto const nb_edges = edges.empty() ? std::max<std::size_t>(points.size(), 1) - 1 : edges.size();
  result.reserve(only.empty() ? nb_edges : only.size());
  auto const& entries = report(insert_one(name, points, edges, subset, INSERT));
  result.assign(entries.begin(), entries.end());
  return result;
}

BackgroundLineSession::CurveHandle BackgroundLineSession::insert_one(
    std::string const& name, absl::Span<double const> points, absl::Span<Edge const> edges,
    std::optional<absl::Span<index_t const>> only, char const* operation) {
  auto& state = *impl_;
  check_name(name, state.by_name, operation);
  auto const checked =
      checked_curve(state.exponent, subject(name, false), points, edges, only, operation);
  return state.insert(name, points, checked.scaled, checked.edges, only, operation).handle;
}

BackgroundLineSession::CurveHandle BackgroundLineSession::insert_curve(
    std::string const& name, absl::Span<double const> points, absl::Span<Edge const> edges) {
  return insert_one(name, points, edges, std::nullopt, "BackgroundLineSession::insert_curve");
}

BackgroundLineSession::CurveHandle BackgroundLineSession::insert_curve_edges(
    std::string const& name, absl::Span<double const> points, absl::Span<Edge const> edges,
    absl::Span<index_t const> only) {
  return insert_one(name, points, edges, only, "BackgroundLineSession::insert_curve_edges");
}

std::vector<BackgroundLineSession::CurveHandle> BackgroundLineSession::insert_curves(
    absl::Span<CurveInput const> curves) {
  static constexpr char const* OPERATION = "BackgroundLineSession::insert_curves";
  std::vector<CurveHandle> handles;
  handles.reserve(curves.size());
  for (auto const& curve : curves) {
    handles.push_back(insert_one(curve.name, curve.points, curve.edges, curve.only, OPERATION));
  }
  return handles;
}

std::optional<index_t> BackgroundLineSession::point_off_background(
    absl::Span<double const> points, absl::Span<Edge const> edges,
    std::optional<absl::Span<index_t const>> only) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::point_off_background";
  auto const& state = *impl_;
  auto const checked = checked_curve(state.exponent, "", points, edges, only, OPERATION);
  return state.point_off_background(checked.scaled, checked.edges, only);
}

internal::ElementRemovalInfo BackgroundLineSession::remove(std::string_view name) {
  return remove(impl_->input(name, "BackgroundLineSession::remove").handle);
}

internal::ElementRemovalInfo BackgroundLineSession::remove(CurveHandle curve) {
  auto& state = *impl_;
  auto const& input = state.input(curve, "BackgroundLineSession::remove");
  auto const report = state.inserter.remove_curve(*input.curve);
  auto const found = std::find_if(state.curves.begin(), state.curves.end(),
                                  [&input](auto const& curve) { return curve.get() == &input; });
  state.by_name.erase(state.by_name.find(input.name));
  state.by_handle[input.handle] = nullptr;
  state.lookup_valid = false;
  state.curves.erase(found);
  return report;
}

CleanRenumbering BackgroundLineSession::clean() {
  CleanRenumbering renumbering;
  renumbering.edges = impl_->modifier.clean_edges();
  renumbering.vertices = impl_->modifier.clean_vertices();
  return renumbering;
}

std::string const& BackgroundLineSession::name() const { return impl_->name; }

index_t BackgroundLineSession::nb_vertices() const { return impl_->background.nb_vertices(); }

index_t BackgroundLineSession::nb_edges() const { return impl_->background.nb_edges(); }

double BackgroundLineSession::point(index_t vertex) const {
  impl_->check_vertex(vertex, "BackgroundLineSession::point");
  return impl_->unscaled(impl_->background.point(vertex).value(0));
}

std::vector<double> BackgroundLineSession::points() const {
  auto const& state = *impl_;
  std::vector<double> result(state.background.nb_vertices());
  for (index_t vertex = 0; vertex < result.size(); ++vertex) {
    result[vertex] = state.unscaled(state.background.point(vertex).value(0));
  }
  return result;
}

BackgroundLineSession::Edge BackgroundLineSession::edge(index_t edge) const {
  impl_->check_edge(edge, "BackgroundLineSession::edge");
  return impl_->background.edge_vertices(edge);
}

std::vector<BackgroundLineSession::Edge> BackgroundLineSession::edges() const {
  auto const& background = impl_->background;
  std::vector<Edge> result(background.nb_edges());
  for (index_t edge = 0; edge < result.size(); ++edge) {
    result[edge] = background.edge_vertices(edge);
  }
  return result;
}

bool BackgroundLineSession::is_edge_detached(index_t edge) const {
  impl_->check_edge(edge, "BackgroundLineSession::is_edge_detached");
  return impl_->background.is_edge_detached(edge);
}

double BackgroundLineSession::tolerance() const {
  return std::ldexp(GEOMETRIC_TOLERANCE, -impl_->exponent);
}

int BackgroundLineSession::scale_exponent() const { return impl_->exponent; }

internal::BackgroundLine const& BackgroundLineSession::background_line() const {
  return impl_->line;
}

std::vector<std::string> BackgroundLineSession::curve_names() const {
  std::vector<std::string> names;
  names.reserve(impl_->curves.size());
  for (auto const& input : impl_->curves) names.push_back(input->name);
  return names;
}

bool BackgroundLineSession::has_curve(std::string_view name) const {
  return impl_->by_name.count(name) > 0;
}

EdgedCurve<1> const& BackgroundLineSession::curve(std::string_view name) const {
  return *impl_->input(name, "BackgroundLineSession::curve").curve;
}

std::vector<CurveElement> BackgroundLineSession::macro_vertices(index_t vertex) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::macro_vertices";
  auto const& state = *impl_;
  state.check_vertex(vertex, OPERATION);
  auto const vertices = state.line.macro_vertex_view(vertex);
  std::vector<CurveElement> result;
  result.reserve(vertices.size());
  for (auto const macro : vertices) {
    result.push_back({state.name_of(macro.mesh_id, OPERATION), macro.vertex_id});
  }
  return result;
}

std::vector<CurveElement> BackgroundLineSession::macro_elements(index_t edge) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::macro_elements";
  impl_->check_edge(edge, OPERATION);
  return impl_->named(impl_->line.macro_element_view(edge), OPERATION);
}

std::optional<index_t> BackgroundLineSession::vertex_of(std::string_view name,
                                                        index_t vertex) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::vertex_of";
  auto const& input = impl_->input(name, OPERATION);
  if (vertex >= input.curve->nb_vertices()) {
    refuse(OPERATION,
           absl::StrCat("vertex ", vertex, " of curve \"", as_absl(name), "\" is out of range (",
                        input.curve->nb_vertices(), " vertices)"));
  }
  return impl_->carrier(input, vertex);
}

std::optional<std::vector<index_t>> BackgroundLineSession::path(std::string_view name,
                                                                index_t edge) const {
  return path(impl_->input(name, "BackgroundLineSession::path").handle, edge);
}

std::optional<std::vector<index_t>> BackgroundLineSession::path(CurveHandle curve,
                                                                index_t edge) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::path";
  auto const& state = *impl_;
  auto const& input = state.input(curve, OPERATION);
  if (edge >= input.curve->nb_edges()) {
    refuse(OPERATION, absl::StrCat("edge ", edge, " of curve \"", input.name,
                                   "\" is out of range (", input.curve->nb_edges(), " edges)"));
  }
  if (!input.inserted[edge]) return std::nullopt;
  auto const& ends = input.curve->edge_vertices(edge);
  auto const first = state.carrier(input, ends[0]);
  auto const last = state.carrier(input, ends[1]);
  if (!first || !last) return std::nullopt;
  if (*first == *last) return std::vector<index_t>{};
  // Every walk visits an edge at most once, so this limit is never reached.
  auto const limit = std::max<index_t>(1, state.background.nb_edges());
  return state.line.macro_edge_path({*first, *last}, MeshEdge{input.curve->id(), edge}, limit);
}

namespace {

// Columns for the lists `view_of(item)` of `items`, curves numbered as in `curves`.
template <typename Curves, typename Item, typename ViewOf, typename IdOf, typename IndexOf>
MacroColumns macro_columns(Curves const& curves, absl::Span<Item const> items,
                           ViewOf const& view_of, IdOf const& id_of, IndexOf const& index_of,
                           char const* operation) {
  MacroColumns columns;
  columns.curves.reserve(curves.size());
  // Few curves: a sorted table of uuids, searched only when an entry's curve is not the
  // previous entry's (runs of one curve are the rule).
  std::vector<std::pair<uuid, std::uint32_t>> numbers;
  numbers.reserve(curves.size());
  for (std::size_t slot = 0; slot < curves.size(); ++slot) {
    columns.curves.push_back(curves[slot]->name);
    numbers.emplace_back(curves[slot]->curve->id(), static_cast<std::uint32_t>(slot));
  }
  std::sort(numbers.begin(), numbers.end());
  std::size_t total = 0;
  for (auto const item : items) total += view_of(item).size();
  columns.offsets.reserve(items.size() + 1);
  columns.curve.reserve(total);
  columns.index.reserve(total);
  columns.offsets.push_back(0);
  uuid const* last_id = nullptr;
  std::uint32_t last_number = 0;
  for (auto const item : items) {
    for (auto const entry : view_of(item)) {
      auto const& id = id_of(entry);
      if (last_id == nullptr || !(*last_id == id)) {
        auto const found = std::lower_bound(
            numbers.begin(), numbers.end(), id,
            [](auto const& number, uuid const& key) { return number.first < key; });
        if (found == numbers.end() || !(found->first == id)) {
          throw LumoraException{absl::StrCat("[", operation,
                                             "] the background records an element of an "
                                             "unknown curve ",
                                             id.string())};
        }
        last_id = &found->first;
        last_number = found->second;
      }
      columns.curve.push_back(last_number);
      columns.index.push_back(index_of(entry));
    }
    columns.offsets.push_back(columns.curve.size());
  }
  return columns;
}

// The live background edges that share more than an end point with [a, b] (for a == b: that
// contain the point), in axis order, with what they carry: the rule of `overlapping` and
// `overlapping_columns`. `operation` tags the refusal of a bad interval.
template <typename State>
OverlappingColumns overlapping_in_columns(State const& state, double a, double b,
                                          char const* operation) {
  if (std::isnan(a) || std::isnan(b) || a > b) {
    refuse(operation, absl::StrCat("[", number(a), ", ", number(b), "] is not an interval"));
  }
  // Scaling keeps order, so the scaled query finds every candidate; the test below is done
  // on the caller's values, which are exact.
  auto const candidates = state.modifier.edges_overlapping(std::ldexp(a, state.exponent),
                                                           std::ldexp(b, state.exponent));
  OverlappingColumns result;
  result.edges.reserve(candidates.size());
  result.starts.reserve(candidates.size());
  result.ends.reserve(candidates.size());
  for (auto const edge : candidates) {
    auto const& ends = state.background.edge_vertices(edge);
    auto const first = state.unscaled(state.background.point(ends[0]).value(0));
    auto const second = state.unscaled(state.background.point(ends[1]).value(0));
    auto const start = std::min(first, second);
    auto const end = std::max(first, second);
    if (start > b || end < a) continue;
    // Two intervals of positive length that only touch share no part of the axis.
    if (start < end && a < b && (end == a || start == b)) continue;
    result.edges.push_back(edge);
    result.starts.push_back(start);
    result.ends.push_back(end);
  }
  result.carried = macro_columns(
      state.curves, absl::Span<index_t const>{result.edges},
      [&state](index_t edge) { return state.line.macro_element_view(edge); },
      [](MeshElement const& entry) -> uuid const& { return entry.mesh_id; },
      [](MeshElement const& entry) { return entry.element_id; }, operation);
  return result;
}

}  // namespace

std::vector<OverlappingEdge> BackgroundLineSession::overlapping(double a, double b) const {
  auto found = overlapping_in_columns(*impl_, a, b, "BackgroundLineSession::overlapping");
  auto const& carried = found.carried;
  std::vector<OverlappingEdge> result(found.edges.size());
  for (std::size_t item = 0; item < result.size(); ++item) {
    auto& piece = result[item];
    piece = {found.edges[item], found.starts[item], found.ends[item], {}};
    piece.carried.reserve(carried.offsets[item + 1] - carried.offsets[item]);
    for (auto entry = carried.offsets[item]; entry < carried.offsets[item + 1]; ++entry) {
      piece.carried.push_back({carried.curves[carried.curve[entry]], carried.index[entry]});
    }
  }
  return result;
}

std::string_view BackgroundLineSession::status_name(STATUS status) {
  switch (status) {
    case STATUS::inserted:
      return "inserted";
    case STATUS::walk_stopped:
      return "walk_stopped";
  }
  return "unknown";
}

MacroColumns BackgroundLineSession::macro_element_columns(absl::Span<index_t const> edges) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::macro_element_columns";
  auto const& state = *impl_;
  for (auto const edge : edges) state.check_edge(edge, OPERATION);
  return macro_columns(
      state.curves, edges, [&state](index_t edge) { return state.line.macro_element_view(edge); },
      [](MeshElement const& entry) -> uuid const& { return entry.mesh_id; },
      [](MeshElement const& entry) { return entry.element_id; }, OPERATION);
}

MacroColumns BackgroundLineSession::macro_vertex_columns(absl::Span<index_t const> vertices) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::macro_vertex_columns";
  auto const& state = *impl_;
  for (auto const vertex : vertices) state.check_vertex(vertex, OPERATION);
  return macro_columns(
      state.curves, vertices,
      [&state](index_t vertex) { return state.line.macro_vertex_view(vertex); },
      [](MeshVertex const& entry) -> uuid const& { return entry.mesh_id; },
      [](MeshVertex const& entry) { return entry.vertex_id; }, OPERATION);
}

OverlappingColumns BackgroundLineSession::overlapping_columns(double a, double b) const {
  return overlapping_in_columns(*impl_, a, b, "BackgroundLineSession::overlapping_columns");
}

void BackgroundLineSession::set_interrupt_check(std::function<void()> check) {
  impl_->interrupt_check = check;
  impl_->inserter.set_interrupt_check(std::move(check));
}

BackgroundLineSession::CurveHandle BackgroundLineSession::handle(std::string_view name) const {
  return impl_->input(name, "BackgroundLineSession::handle").handle;
}

bool BackgroundLineSession::has_curve(CurveHandle curve) const {
  return curve < impl_->by_handle.size() && impl_->by_handle[curve] != nullptr;
}

std::string const& BackgroundLineSession::curve_name(CurveHandle curve) const {
  return impl_->input(curve, "BackgroundLineSession::curve_name").name;
}

std::vector<InsertedEdge> const& BackgroundLineSession::report(CurveHandle curve) const {
  return impl_->input(curve, "BackgroundLineSession::report").report;
}

void BackgroundLineSession::for_each_macro_vertex(
    index_t vertex, absl::FunctionRef<void(CurveHandle, index_t)> visit) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::for_each_macro_vertex";
  auto const& state = *impl_;
  state.check_vertex(vertex, OPERATION);
  state.visit_named(
      state.line.macro_vertex_view(vertex), [](MeshVertex const& entry) { return entry.vertex_id; },
      visit, OPERATION);
}

void BackgroundLineSession::for_each_macro_element(
    index_t edge, absl::FunctionRef<void(CurveHandle, index_t)> visit) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::for_each_macro_element";
  auto const& state = *impl_;
  state.check_edge(edge, OPERATION);
  state.visit_named(
      state.line.macro_element_view(edge),
      [](MeshElement const& entry) { return entry.element_id; }, visit, OPERATION);
}

std::size_t BackgroundLineSession::nb_macro_vertices(index_t vertex) const {
  impl_->check_vertex(vertex, "BackgroundLineSession::nb_macro_vertices");
  return impl_->line.macro_vertex_view(vertex).size();
}

std::size_t BackgroundLineSession::nb_macro_elements(index_t edge) const {
  impl_->check_edge(edge, "BackgroundLineSession::nb_macro_elements");
  return impl_->line.macro_element_view(edge).size();
}

std::vector<std::vector<index_t>> BackgroundLineSession::carriers() const {
  static constexpr char const* OPERATION = "BackgroundLineSession::carriers";
  auto const& state = *impl_;
  std::vector<std::vector<index_t>> carriers(state.by_handle.size());
  for (auto const& input : state.curves) {
    carriers[input->handle].assign(input->curve->nb_vertices(), NO_ID);
  }
  for (index_t vertex = 0; vertex < state.background.nb_vertices(); ++vertex) {
    for (auto const macro : state.line.macro_vertex_view(vertex)) {
      auto& slot = carriers[state.handle_of(macro.mesh_id, OPERATION)][macro.vertex_id];
      if (slot == NO_ID) slot = vertex;
    }
  }
  return carriers;
}

InsertedEdgePaths BackgroundLineSession::macro_edge_paths() const {
  return macro_edge_paths(carriers());
}

InsertedEdgePaths BackgroundLineSession::macro_edge_paths(
    std::vector<std::vector<index_t>> const& carriers) const {
  static constexpr char const* OPERATION = "BackgroundLineSession::macro_edge_paths";
  auto const& state = *impl_;
  if (carriers.size() != state.by_handle.size()) {
    refuse(OPERATION, absl::StrCat("the carriers name ", carriers.size(),
                                   " curves, the session has ", state.by_handle.size()));
  }
  InsertedEdgePaths result;
  std::vector<internal::MacroEdgePathQuery> queries;
  std::vector<bool> seen;
  for (auto const& input : state.curves) {
    auto const& carrier = carriers[input->handle];
    if (carrier.size() != input->curve->nb_vertices()) {
      refuse(OPERATION,
             absl::StrCat("the carriers of curve \"", input->name, "\" name ", carrier.size(),
                          " vertices, the curve has ", input->curve->nb_vertices()));
    }
    seen.assign(input->curve->nb_edges(), false);
    for (auto const& entry : input->report) {
      if (seen[entry.edge]) continue;
      seen[entry.edge] = true;
      auto const& ends = input->curve->edge_vertices(entry.edge);
      std::array<index_t, 2> const placed{carrier[ends[0]], carrier[ends[1]]};
      if (placed[0] == NO_ID || placed[1] == NO_ID) continue;
      for (auto const vertex : placed) state.check_vertex(vertex, OPERATION);
      result.curves.push_back(input->handle);
      result.edges.push_back(entry.edge);
      result.ends.push_back(placed);
      queries.push_back({placed, MeshEdge{input->curve->id(), entry.edge}});
    }
  }
  // Every walk visits an edge at most once, so this limit is never reached.
  result.paths =
      state.line.macro_edge_paths(queries, std::max<index_t>(1, state.background.nb_edges()));
  return result;
}

internal::LineStack const& BackgroundLineSession::stack() const { return impl_->stack; }

}  // namespace velk
