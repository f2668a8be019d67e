// Differential tests of curve insertion against an independent oracle: Boost.ICL's
// `interval_map` aggregates, for every inserted input edge, the interval between its two
// placed vertices, and so says exactly which input edges (in insertion order, with their
// multiplicity) every stretch of the background must carry.
//
// Each case is drawn from a seed: a background of one chain, or of two disjoint chains that
// do not overlap in x (vertices created and edges oriented in random order), and a random
// sequence of insertions (`insert_curve` and `insert_curve_edges`, repeated indices
// included, curves inserted again), splits, order-keeping moves, `clean_edges` and
// `clean_vertices`. Input points lie exactly on a background vertex, within the tolerance of
// one, or at least 1e-5 from every point met so far, so that which points snap together is
// never in doubt. After every operation the line is compared with a small model (vertex
// positions and the macro vertices each must hold) and with the oracle; at the end of each
// case, `macro_edge_path` of every inserted input edge is compared with the chain of
// background edges between its placed vertices. A failure prints its seed; setting
// VELK_DIFFERENTIAL_SEED replays that one case, VELK_DIFFERENTIAL_CASES changes the count.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <boost/icl/interval_map.hpp>

#include <velk/background_line.hpp>

#include "reliability/curve_invariants.hpp"
#include "support/log_capture.hpp"
#include "support/seeded_cases.hpp"
#include "support/separated_draws.hpp"

namespace {

using velk::EdgedCurve;
using velk::EdgedCurveBuilder;
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
using Status = ElementInsertionInfo::INSERTION_STATUS;

// The oracle's value over a stretch of the line: the input edges that cover it, in the order
// they were inserted. Adding an interval appends its edge to every stretch it covers.
struct Carried {
  std::vector<MeshElement> elements;

  Carried& operator+=(Carried const& other) {
    elements.insert(elements.end(), other.elements.begin(), other.elements.end());
    return *this;
  }
  friend bool operator==(Carried const& lhs, Carried const& rhs) {
    return lhs.elements == rhs.elements;
  }
};

using Oracle = boost::icl::interval_map<double, Carried>;
using Interval = boost::icl::interval<double>;

std::vector<MeshElement> carried_at(Oracle const& oracle, double x) {
  auto const found = oracle.find(x);
  if (found == oracle.end()) return {};
  return found->second.elements;
}

// Separation of every freshly drawn coordinate from every coordinate met before.
constexpr double SEPARATION = 1e-5;
// Largest offset of a point placed "within the tolerance" of a vertex: two such points
// around one vertex are still within the tolerance of each other.
constexpr double NEAR_OFFSET = 0.4 * velk::GEOMETRIC_TOLERANCE;

struct Options {
  bool two_chains;
  bool cross_chain_edges;
};

// Counts over all cases, so that a test can tell that its cases were not vacuous.
struct Statistics {
  std::size_t cases{0};
  std::size_t carrying_edges_compared{0};
  std::size_t paths_compared{0};
  std::size_t stopped_walks{0};
  std::size_t near_points{0};
  std::size_t zero_length_edges{0};
  std::size_t moves{0};
  std::size_t splits{0};
};

class Case : velk::test::SeparatedDraws {
 public:
  Case(std::uint64_t seed, Options options, Statistics& statistics)
      : SeparatedDraws{seed, SEPARATION}, options_{options}, statistics_{statistics} {}

  // Runs the case; returns the first disagreement, or an empty string.
  std::string run() {
    try {
      build_background();
      if (auto problem = compare(); !problem.empty()) return "after construction: " + problem;
      auto const nb_operations = draw(8, 24);
      for (int operation = 0; operation < nb_operations; ++operation) {
        std::string description;
        try {
          description = step();
        } catch (std::exception const& error) {
          return "operation " + std::to_string(operation) + " after [" + history_ +
                 "] threw: " + error.what();
        }
        history_ += description + "; ";
        if (auto problem = compare(); !problem.empty()) {
          return "after operation " + std::to_string(operation) + " (" + description +
                 "): " + problem;
        }
      }
      return compare_paths();
    } catch (std::exception const& error) {
      return std::string{"unexpected exception: "} + error.what();
    }
  }

 private:
  // A vertex of the model. Its site is the exact coordinate it was drawn around: every
  // point placed on it lies within NEAR_OFFSET of the site, so any two of them lie within
  // the tolerance of each other, whichever came first.
  struct ModelVertex {
    double x;
    double site;
    int chain;
    std::vector<MeshVertex> macro_vertices;
  };
  // An input point and the site it was drawn around.
  struct InputPoint {
    double x;
    double site;
  };
  struct InsertedEdge {
    MeshEdge macro_edge;
    int first;
    int last;
  };

  // The x range a chain may occupy; the two chains' ranges are apart.
  std::pair<double, double> zone(int chain) const {
    if (!options_.two_chains) return {0.0, 100.0};
    return chain == 0 ? std::pair{0.0, 45.0} : std::pair{55.0, 100.0};
  }

  double x_of(int vertex) const { return vertices_[vertex].x; }

  void build_background() {
    EdgedCurveBuilder<1> builder{background_};
    builder.set_name("background");
    std::vector<std::pair<int, double>> points;  // (chain, x)
    for (int chain = 0; chain < (options_.two_chains ? 2 : 1); ++chain) {
      auto const [low, high] = zone(chain);
      auto x = low + uniform(0.5, 5.0);
      auto const count = draw(2, 25);
      for (int rank = 0; rank < count && x < high - 0.5; ++rank) {
        points.emplace_back(chain, x);
        x += uniform(0.01, 3.0);
      }
      if (points.empty() || points.back().first != chain || points.size() < 2 ||
          (points.end() - 2)->first != chain) {
        points.emplace_back(chain, high - 0.25);
      }
    }
    // Vertices created in random order, edges created in random order and orientation.
    std::vector<std::size_t> order(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random_);
    std::vector<index_t> index_of(points.size());
    for (auto const i : order) {
      index_of[i] = builder.create_point(Point<1>{{points[i].second}});
      vertices_.push_back({points[i].second, points[i].second, points[i].first, {}});
      known_.insert(points[i].second);
    }
    std::vector<std::pair<index_t, index_t>> edges;
    for (std::size_t i = 1; i < points.size(); ++i) {
      if (points[i].first != points[i - 1].first) continue;
      edges.emplace_back(index_of[i - 1], index_of[i]);
      if (chance(0.5)) std::swap(edges.back().first, edges.back().second);
    }
    std::shuffle(edges.begin(), edges.end(), random_);
    for (auto const& [first, second] : edges) builder.create_edge(first, second);
    chains_.assign(options_.two_chains ? 2 : 1, {});
    for (int vertex = 0; vertex < static_cast<int>(vertices_.size()); ++vertex) {
      chains_[vertices_[vertex].chain].push_back(vertex);
    }
    for (auto& chain : chains_) {
      std::sort(chain.begin(), chain.end(), [this](int a, int b) { return x_of(a) < x_of(b); });
    }

    curve_builder_ = std::make_unique<EdgedCurveBuilder<1>>(background_);
    line_ = std::make_unique<BackgroundLine>(background_);
    line_builder_ = std::make_unique<BackgroundLineBuilder>(*line_);
    modifier_ = std::make_unique<BackgroundLineModifier>(*line_, *line_builder_, *curve_builder_);
    inserter_ = std::make_unique<BackgroundLineInserter>(
        velk::internal::ModifiableObject<BackgroundLine>{*line_, *modifier_}, *line_builder_);
  }

  // One random operation, applied to both the line and the model; returns its description.
  std::string step() {
    auto const kind = draw(0, 99);
    if (kind < 45) return insert();
    if (kind < 65) return split();
    if (kind < 85) return move();
    if (kind < 93) {
      modifier_->clean_edges();
      return "clean_edges";
    }
    modifier_->clean_vertices();
    return "clean_vertices";
  }

  // An input point: exactly on a vertex of `chain`, within the tolerance of one (on either
  // side, so past the chain's ends too), at a fresh place inside the chain, or on or near
  // a point of the same curve drawn before.
  std::optional<InputPoint> input_point(int chain, std::vector<InputPoint> const& earlier) {
    auto const& ids = chains_[chain];
    auto const kind = draw(0, 99);
    auto const& vertex = vertices_[ids[draw(0, static_cast<int>(ids.size()) - 1)]];
    auto const near = [this](double site) {
      ++statistics_.near_points;
      return InputPoint{site + (chance(0.5) ? 1 : -1) * uniform(0.1, 1.0) * NEAR_OFFSET, site};
    };
    if (kind < 30) return InputPoint{vertex.x, vertex.site};
    if (kind < 50) return near(vertex.site);
    if (kind < 60 && !earlier.empty()) {
      auto const point = earlier[draw(0, static_cast<int>(earlier.size()) - 1)];
      // Only points of this chain: an earlier point may lie in the other one.
      if (chain_at(point.x) == chain) return chance(0.5) ? point : near(point.site);
    }
    if (auto const x = fresh(x_of(ids.front()), x_of(ids.back()))) return InputPoint{*x, *x};
    return std::nullopt;
  }

  // The chain whose extent holds `x` within the tolerance, or -1.
  int chain_at(double x) const {
    for (int chain = 0; chain < static_cast<int>(chains_.size()); ++chain) {
      auto const& ids = chains_[chain];
      if (x >= x_of(ids.front()) - velk::GEOMETRIC_TOLERANCE &&
          x <= x_of(ids.back()) + velk::GEOMETRIC_TOLERANCE) {
        return chain;
      }
    }
    return -1;
  }

  std::unique_ptr<EdgedCurve<1>> make_input() {
    auto input = std::make_unique<EdgedCurve<1>>();
    EdgedCurveBuilder<1> builder{*input};
    builder.set_name("input-" + std::to_string(inputs_.size()));
    auto const home = draw(0, static_cast<int>(chains_.size()) - 1);
    auto const crossing = options_.cross_chain_edges && chance(0.3);
    std::vector<InputPoint> points;
    auto const count = draw(2, 10);
    while (static_cast<int>(points.size()) < count) {
      auto const chain = crossing ? draw(0, 1) : home;
      if (auto const point = input_point(chain, points))
        points.push_back(*point);
      else
        break;
    }
    if (chance(0.4)) {
      // Monotone, one way or the other.
      std::sort(points.begin(), points.end(),
                [](InputPoint const& a, InputPoint const& b) { return a.x < b.x; });
      if (chance(0.5)) std::reverse(points.begin(), points.end());
    }
    std::vector<double> sites;
    for (auto const& point : points) {
      builder.create_point(Point<1>{{point.x}});
      sites.push_back(point.site);
    }
    input_sites_.push_back(std::move(sites));
    auto const nb_points = static_cast<index_t>(points.size());
    for (index_t vertex = 1; vertex < nb_points; ++vertex) {
      if (chance(0.8))
        builder.create_edge(vertex - 1, vertex);
      else
        builder.create_edge(vertex, vertex - 1);
    }
    // Now and then an edge between any two points, or from a point to itself.
    for (int extra = draw(0, 2); extra > 0 && nb_points > 0; --extra) {
      auto const first = static_cast<index_t>(draw(0, static_cast<int>(nb_points) - 1));
      auto const second =
          chance(0.2) ? first : static_cast<index_t>(draw(0, static_cast<int>(nb_points) - 1));
      builder.create_edge(first, second);
    }
    return input;
  }

  // Where the line must place `x`: the model vertex within the tolerance of it, or a new
  // vertex at `x` (the split of the edge that holds it).
  int place(double x, double site) {
    auto const chain = chain_at(x);
    if (chain < 0) throw LumoraException{"[differential] a generated point is off the line"};
    auto& ids = chains_[chain];
    auto const above = std::lower_bound(ids.begin(), ids.end(), x,
                                        [this](int id, double value) { return x_of(id) < value; });
    for (auto candidate : {above, above == ids.begin() ? above : std::prev(above)}) {
      if (candidate != ids.end() && std::abs(x - x_of(*candidate)) <= velk::GEOMETRIC_TOLERANCE) {
        return *candidate;
      }
    }
    auto const vertex = static_cast<int>(vertices_.size());
    vertices_.push_back({x, site, chain, {}});
    ids.insert(above, vertex);
    return vertex;
  }

  std::string insert() {
    int chosen = 0;
    if (inputs_.empty() || chance(0.6)) {
      inputs_.push_back(make_input());
      chosen = static_cast<int>(inputs_.size()) - 1;
    } else {
      chosen = draw(0, static_cast<int>(inputs_.size()) - 1);
    }
    EdgedCurve<1> const* input = inputs_[chosen].get();
    auto const& sites = input_sites_[chosen];
    auto const whole = chance(0.5);
    std::vector<index_t> edges;
    if (whole) {
      for (index_t edge = 0; edge < input->nb_edges(); ++edge) edges.push_back(edge);
    } else if (input->nb_edges() > 0) {
      for (int count = draw(0, 8); count > 0; --count) {
        edges.push_back(static_cast<index_t>(draw(0, static_cast<int>(input->nb_edges()) - 1)));
      }
    }

    // What the line must do, edge by edge.
    std::vector<Status> expected_statuses;
    std::size_t expected_warnings = 0;
    for (auto const edge : edges) {
      auto const ends = input->edge_vertices(edge);
      std::array<int, 2> placed{};
      for (int end = 0; end < 2; ++end) {
        placed[end] = place(input->point(ends[end]).value(0), sites[ends[end]]);
        vertices_[placed[end]].macro_vertices.push_back(MeshVertex{input->id(), ends[end]});
      }
      MeshElement const element{input->id(), edge};
      if (placed[0] == placed[1]) {
        ++statistics_.zero_length_edges;
        expected_statuses.push_back(Status::inserted);
      } else if (vertices_[placed[0]].chain != vertices_[placed[1]].chain) {
        // No background leads from one chain to the other: the walk toward the other chain
        // (when the first vertex has an edge that way) stops at its chain's end.
        ++statistics_.stopped_walks;
        expected_statuses.push_back(Status::walk_stopped);
        auto const& ids = chains_[vertices_[placed[0]].chain];
        auto const toward_right = x_of(placed[1]) > x_of(placed[0]);
        auto const at_end = toward_right ? ids.back() == placed[0] : ids.front() == placed[0];
        if (!at_end) ++expected_warnings;
      } else {
        expected_statuses.push_back(Status::inserted);
        auto const low = std::min(x_of(placed[0]), x_of(placed[1]));
        auto const high = std::max(x_of(placed[0]), x_of(placed[1]));
        oracle_ += std::make_pair(Interval::right_open(low, high), Carried{{element}});
        inserted_.push_back({MeshEdge{input->id(), edge}, placed[0], placed[1]});
      }
    }

    auto const warnings_before = log_.lines().size();
    auto const report =
        whole ? inserter_->insert_curve(*input) : inserter_->insert_curve_edges(*input, edges);
    std::ostringstream description;
    description << (whole ? "insert_curve" : "insert_curve_edges") << " of " << input->name()
                << " edges [";
    for (auto const edge : edges) description << ' ' << edge;
    description << " ]";
    if (report.size() != edges.size()) {
      throw LumoraException{"[differential] " + description.str() + ": report has " +
                            std::to_string(report.size()) + " entries"};
    }
    for (index_t entry = 0; entry < report.size(); ++entry) {
      if (report.element(entry) != edges[entry] ||
          report.status(entry) != expected_statuses[entry]) {
        throw LumoraException{"[differential] " + description.str() + ": report entry " +
                              std::to_string(entry) + " is edge " +
                              std::to_string(report.element(entry)) + " with status " +
                              std::to_string(static_cast<int>(report.status(entry)))};
      }
    }
    auto const warnings = log_.lines().size() - warnings_before;
    if (warnings != expected_warnings) {
      throw LumoraException{"[differential] " + description.str() + ": " +
                            std::to_string(warnings) + " warnings instead of " +
                            std::to_string(expected_warnings)};
    }
    return description.str();
  }

  // The live edge between two model vertices, found on the line.
  std::optional<index_t> line_edge(index_t first, index_t second) const {
    for (auto const& around : background_.edges_around_vertex(first)) {
      if (background_.edge_vertex(around.opposite()) == second) return around.edge_id;
    }
    return std::nullopt;
  }

  // The line's vertex at each model vertex, matched by exact position.
  std::map<double, index_t> line_vertices() const {
    std::map<double, index_t> by_x;
    for (index_t vertex = 0; vertex < background_.nb_vertices(); ++vertex) {
      by_x.emplace(background_.point(vertex).value(0), vertex);
    }
    return by_x;
  }

  std::string split() {
    auto const chain = draw(0, static_cast<int>(chains_.size()) - 1);
    auto& ids = chains_[chain];
    auto const rank = draw(0, static_cast<int>(ids.size()) - 2);
    auto const x = fresh(x_of(ids[rank]), x_of(ids[rank + 1]));
    if (!x) return "no split (no room)";
    auto const by_x = line_vertices();
    auto const edge = line_edge(by_x.at(x_of(ids[rank])), by_x.at(x_of(ids[rank + 1])));
    if (!edge) throw LumoraException{"[differential] no line edge between model neighbours"};
    modifier_->split_edge(*edge, Point<1>{{*x}});
    auto const vertex = static_cast<int>(vertices_.size());
    vertices_.push_back({*x, *x, chain, {}});
    ids.insert(ids.begin() + rank + 1, vertex);
    ++statistics_.splits;
    return "split_edge " + std::to_string(*edge);
  }

  // Moves a vertex between its neighbours, or an end vertex outward within its chain's
  // zone, so that every point drawn before still lies on the line. The oracle's stretches
  // on both sides of the vertex follow it.
  std::string move() {
    auto const chain = draw(0, static_cast<int>(chains_.size()) - 1);
    auto& ids = chains_[chain];
    auto const rank = draw(0, static_cast<int>(ids.size()) - 1);
    auto const vertex = ids[rank];
    auto const x = x_of(vertex);
    auto const [zone_low, zone_high] = zone(chain);
    std::optional<double> left;
    std::optional<double> right;
    if (rank > 0) left = x_of(ids[rank - 1]);
    if (rank + 1 < static_cast<int>(ids.size())) right = x_of(ids[rank + 1]);
    auto const target = fresh(left ? *left : zone_low, right ? *right : zone_high);
    if (!target) return "no move (no room)";
    if ((!left && *target > x) || (!right && *target < x)) return "no move (inward end)";
    auto const by_x = line_vertices();
    modifier_->move_point(by_x.at(x), Point<1>{{*target}});

    auto const left_value =
        left ? carried_at(oracle_, (*left + x) / 2) : std::vector<MeshElement>{};
    auto const right_value =
        right ? carried_at(oracle_, (x + *right) / 2) : std::vector<MeshElement>{};
    auto const low = left ? *left : std::min(x, *target);
    auto const high = right ? *right : std::max(x, *target);
    oracle_.erase(Interval::right_open(low, high));
    if (left) oracle_ += std::make_pair(Interval::right_open(*left, *target), Carried{left_value});
    if (right) {
      oracle_ += std::make_pair(Interval::right_open(*target, *right), Carried{right_value});
    }
    vertices_[vertex].x = *target;
    vertices_[vertex].site = *target;
    ++statistics_.moves;
    return "move_point to " + std::to_string(*target);
  }

  // The line against the model and the oracle.
  std::string compare() {
    if (auto problem = velk::reliability::curve_consistency(background_); !problem.empty()) {
      return problem;
    }
    if (background_.nb_vertices() != vertices_.size()) {
      return "the line has " + std::to_string(background_.nb_vertices()) + " vertices, not " +
             std::to_string(vertices_.size());
    }
    auto const by_x = line_vertices();
    if (by_x.size() != vertices_.size()) return "two line vertices share a position";
    std::size_t live_edges = 0;
    for (auto const& ids : chains_) {
      for (std::size_t rank = 0; rank < ids.size(); ++rank) {
        auto const found = by_x.find(x_of(ids[rank]));
        if (found == by_x.end()) {
          return "no line vertex at " + std::to_string(x_of(ids[rank]));
        }
        if (line_->macro_vertices(found->second) != vertices_[ids[rank]].macro_vertices) {
          return "macro vertices of line vertex " + std::to_string(found->second) + " at " +
                 std::to_string(x_of(ids[rank])) + " differ from the model";
        }
        if (rank == 0) continue;
        ++live_edges;
        auto const low = x_of(ids[rank - 1]);
        auto const high = x_of(ids[rank]);
        auto const edge = line_edge(by_x.at(low), found->second);
        if (!edge) {
          return "no line edge between " + std::to_string(low) + " and " + std::to_string(high);
        }
        auto const expected = carried_at(oracle_, (low + high) / 2);
        statistics_.carrying_edges_compared += expected.empty() ? 0 : 1;
        if (line_->macro_elements(*edge) != expected) {
          return "line edge " + std::to_string(*edge) + " between " + std::to_string(low) +
                 " and " + std::to_string(high) + " carries " +
                 std::to_string(line_->macro_elements(*edge).size()) +
                 " macro elements, the oracle " + std::to_string(expected.size());
        }
      }
    }
    std::size_t line_live_edges = 0;
    for (index_t edge = 0; edge < background_.nb_edges(); ++edge) {
      line_live_edges += background_.is_edge_detached(edge) ? 0 : 1;
    }
    if (line_live_edges != live_edges) {
      return "the line has " + std::to_string(line_live_edges) + " live edges, not " +
             std::to_string(live_edges);
    }
    return {};
  }

  // `macro_edge_path` of every inserted input edge: the line's edges between its placed
  // vertices, in order from the first.
  std::string compare_paths() {
    auto const by_x = line_vertices();
    for (auto const& inserted : inserted_) {
      auto const& ids = chains_[vertices_[inserted.first].chain];
      auto const rank_of = [&](int vertex) {
        return std::find(ids.begin(), ids.end(), vertex) - ids.begin();
      };
      auto rank = rank_of(inserted.first);
      auto const last_rank = rank_of(inserted.last);
      std::vector<index_t> expected;
      while (rank != last_rank) {
        auto const next = rank < last_rank ? rank + 1 : rank - 1;
        auto const edge = line_edge(by_x.at(x_of(ids[rank])), by_x.at(x_of(ids[next])));
        if (!edge) return "no line edge between model neighbours";
        expected.push_back(*edge);
        rank = next;
      }
      std::array<index_t, 2> const ends{by_x.at(x_of(inserted.first)),
                                        by_x.at(x_of(inserted.last))};
      auto const chain = line_->macro_edge_path(ends, inserted.macro_edge);
      ++statistics_.paths_compared;
      if (!chain || *chain != expected) {
        return "macro_edge_path of input edge " + std::to_string(inserted.macro_edge.edge_id) +
               " from line vertex " + std::to_string(ends[0]) + " to " + std::to_string(ends[1]) +
               " is " + (chain ? std::to_string(chain->size()) + " edges" : std::string{"empty"}) +
               ", expected " + std::to_string(expected.size()) + " edges";
      }
    }
    return {};
  }

  Options options_;
  std::string history_;  // the operations done so far, for failure messages
  Statistics& statistics_;
  // Warnings only: the walks that stop log one each.
  velk::test::LogCapture log_{velk::Logger::LEVEL::warn};

  EdgedCurve<1> background_;
  std::unique_ptr<EdgedCurveBuilder<1>> curve_builder_;
  std::unique_ptr<BackgroundLine> line_;
  std::unique_ptr<BackgroundLineBuilder> line_builder_;
  std::unique_ptr<BackgroundLineModifier> modifier_;
  std::unique_ptr<BackgroundLineInserter> inserter_;
  std::vector<std::unique_ptr<EdgedCurve<1>>> inputs_;
  std::vector<std::vector<double>> input_sites_;  // the site of each point of each input

  std::vector<ModelVertex> vertices_;
  std::vector<std::vector<int>> chains_;  // model vertices of each chain, by position
  Oracle oracle_;
  std::vector<InsertedEdge> inserted_;
};

// Runs the cases of one test (or only VELK_DIFFERENTIAL_SEED); each failure names its seed.
// Enough cases to matter in a Debug build, more in an optimised one.
Statistics run_cases(std::uint64_t first_seed, Options options) {
  velk::BackgroundLineLibrary::initialize();
  Statistics statistics;
  auto const ran = velk::test::run_seeded_cases({"VELK_DIFFERENTIAL", 5000, 1000}, first_seed,
                                                [&](std::uint64_t seed) {
                                                  ++statistics.cases;
                                                  return Case{seed, options, statistics}.run();
                                                });
  std::printf(
      "%zu cases: %zu carrying edges and %zu paths compared, %zu points within the tolerance, "
      "%zu zero-length and %zu stopped input edges, %zu splits, %zu moves\n",
      ran, statistics.carrying_edges_compared, statistics.paths_compared, statistics.near_points,
      statistics.zero_length_edges, statistics.stopped_walks, statistics.splits, statistics.moves);
  return statistics;
}

// The cases exercised what they are for: per case, on average, about a third of what the
// generator gives (checked over 100 cases or more only, where the average is steady).
void expect_exercised(Statistics const& statistics, bool stopped_walks) {
  auto const cases = statistics.cases;
  if (cases < 100) return;
  EXPECT_GT(statistics.carrying_edges_compared, 100 * cases);
  EXPECT_GT(statistics.paths_compared, 10 * cases);
  EXPECT_GT(statistics.near_points, 2 * cases);
  EXPECT_GT(statistics.zero_length_edges, 2 * cases);
  EXPECT_GT(statistics.splits, cases);
  EXPECT_GT(statistics.moves, cases);
  if (stopped_walks) {
    EXPECT_GT(statistics.stopped_walks, cases);
  } else {
    EXPECT_EQ(statistics.stopped_walks, 0u);
  }
}

TEST(BackgroundLineDifferential, OneChainMatchesIntervalMapOracle) {
  expect_exercised(run_cases(1'000'000, Options{false, false}), false);
}

TEST(BackgroundLineDifferential, TwoDisjointChainsMatchIntervalMapOracle) {
  expect_exercised(run_cases(2'000'000, Options{true, false}), false);
}

TEST(BackgroundLineDifferential, EdgesAcrossDisjointChainsStopAndRecordNothing) {
  expect_exercised(run_cases(3'000'000, Options{true, true}), true);
}

// The oracle itself on a hand-worked case: two overlapping inserted intervals, then a move.
TEST(BackgroundLineDifferential, OracleAggregatesInInsertionOrder) {
  velk::uuid const curve;
  MeshElement const a{curve, 0};
  MeshElement const b{curve, 1};
  Oracle oracle;
  oracle += std::make_pair(Interval::right_open(0.0, 2.0), Carried{{a}});
  oracle += std::make_pair(Interval::right_open(1.0, 3.0), Carried{{b}});
  oracle += std::make_pair(Interval::right_open(1.0, 2.0), Carried{{a}});
  EXPECT_EQ(carried_at(oracle, 0.5), (std::vector<MeshElement>{a}));
  EXPECT_EQ(carried_at(oracle, 1.5), (std::vector<MeshElement>{a, b, a}));
  EXPECT_EQ(carried_at(oracle, 2.5), (std::vector<MeshElement>{b}));
  EXPECT_EQ(carried_at(oracle, 3.5), (std::vector<MeshElement>{}));
}

}  // namespace
