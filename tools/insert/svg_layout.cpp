#include "insert/svg_layout.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "common/text.hpp"

namespace velk::tool::svg {
namespace {

Scale make_scale(Job const& job) {
  double low = 0;
  double high = 0;
  for (index_t v = 0; v < job.nb_vertices(); ++v) {
    auto const x = job.x(v);
    if (v == 0 || x < low) low = x;
    if (v == 0 || x > high) high = x;
  }
  if (!(high > low)) {
    low -= 0.5;
    high += 0.5;
  }
  return Scale{low, high};
}

}  // namespace

std::string colour_of(std::size_t curve) {
  constexpr std::size_t PALETTE_SIZE = sizeof(PALETTE) / sizeof(PALETTE[0]);
  if (curve < PALETTE_SIZE) return PALETTE[curve];
  // Beyond the palette, hues a golden angle apart stay distinct the longest.
  auto const hue = std::fmod(static_cast<double>(curve) * 137.508, 360.0);
  return "hsl(" + std::to_string(static_cast<int>(hue)) + ",55%,48%)";
}

double text_width(std::string const& text, double font_size) {
  return static_cast<double>(utf8_length(text)) * font_size * CHAR_ADVANCE;
}

bool LabelRow::fits(double centre, std::string const& text) const {
  auto const half = text_width(text, font_size_) / 2;
  return centre - half >= last_right_ + LABEL_GAP && centre + half + LABEL_GAP <= right_limit_;
}

void LabelRow::place(double centre, std::string const& text) {
  last_right_ = centre + text_width(text, font_size_) / 2;
}

std::vector<std::size_t> isolated(std::vector<double> const& sorted, double gap) {
  std::vector<std::size_t> firsts;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (firsts.empty() || sorted[i] - sorted[firsts.back()] > 0.01) firsts.push_back(i);
  }
  std::vector<std::size_t> kept;
  for (std::size_t g = 0; g < firsts.size(); ++g) {
    auto const x = sorted[firsts[g]];
    if (g > 0 && x - sorted[firsts[g - 1]] < gap) continue;
    if (g + 1 < firsts.size() && sorted[firsts[g + 1]] - x < gap) continue;
    kept.push_back(firsts[g]);
  }
  return kept;
}

Layout::Layout(Job const& job) : job_{job}, input_{job.input()}, scale_{make_scale(job)} {
  vertex_order_.resize(job.nb_vertices());
  std::iota(vertex_order_.begin(), vertex_order_.end(), std::size_t{0});
  std::stable_sort(vertex_order_.begin(), vertex_order_.end(), [&](std::size_t a, std::size_t b) {
    return job.x(static_cast<index_t>(a)) < job.x(static_cast<index_t>(b));
  });
  for (auto const v : vertex_order_) {
    sorted_x_.push_back(job.x(static_cast<index_t>(v)));
    sorted_px_.push_back(scale_(sorted_x_.back()));
  }
  find_runs();
  find_markers();
  lay_out_legend();
}

// The runs of background edges that carry each input edge, per curve, by position: the
// pieces of one input edge (its background edges' intervals, a repeat of the input edge
// on one background edge counted once) joined where they touch or overlap. One pass over
// the background edges by position, with one open run per input edge: the memory of the
// runs, not of the macro entries.
void Layout::find_runs() {
  auto const nb_curves = input_.curves.size();
  std::vector<std::size_t> first_slot(nb_curves + 1, 0);
  for (std::size_t c = 0; c < nb_curves; ++c) {
    first_slot[c + 1] = first_slot[c] + input_.curves[c].edges.size();
  }
  struct OpenRun {
    Run run;
    bool open = false;
    index_t last_edge = NO_ID;
  };
  std::vector<OpenRun> open(first_slot.back());
  runs_.assign(nb_curves, {});

  struct Piece {
    double low;
    double high;
    index_t edge;
  };
  std::vector<Piece> pieces;
  pieces.reserve(job_.nb_edges());
  for (index_t e = 0; e < job_.nb_edges(); ++e) {
    auto const vertices = job_.edge_vertices(e);
    auto const a = job_.x(vertices[0]);
    auto const b = job_.x(vertices[1]);
    pieces.push_back({std::min(a, b), std::max(a, b), e});
  }
  std::sort(pieces.begin(), pieces.end(), [](Piece const& p, Piece const& q) {
    return p.low < q.low || (p.low == q.low && p.high < q.high);
  });
  for (auto const& piece : pieces) {
    job_.for_each_macro_element(piece.edge, [&](MacroRef const& ref) {
      auto& slot = open[first_slot[ref.curve] + ref.element];
      if (slot.last_edge == piece.edge) return;
      slot.last_edge = piece.edge;
      if (slot.open && piece.low <= slot.run.high) {
        slot.run.high = std::max(slot.run.high, piece.high);
        ++slot.run.nb_background_edges;
        return;
      }
      if (slot.open) runs_[ref.curve].push_back(slot.run);
      slot.run = Run{piece.low, piece.high, ref.element, 1};
      slot.open = true;
    });
  }
  for (std::size_t c = 0; c < nb_curves; ++c) {
    for (auto slot = first_slot[c]; slot < first_slot[c + 1]; ++slot) {
      if (open[slot].open) runs_[c].push_back(open[slot].run);
    }
    std::sort(runs_[c].begin(), runs_[c].end(), [](Run const& a, Run const& b) {
      return a.low < b.low || (a.low == b.low && a.input_edge < b.input_edge);
    });
  }
}

// The positions, in pixels, of the background vertices that carry a vertex of each curve.
void Layout::find_markers() {
  markers_.assign(input_.curves.size(), {});
  std::vector<index_t> last_marked(input_.curves.size(), NO_ID);
  for (index_t v = 0; v < job_.nb_vertices(); ++v) {
    job_.for_each_macro_vertex(v, [&](MacroRef const& ref) {
      if (last_marked[ref.curve] == v) return;
      last_marked[ref.curve] = v;
      markers_[ref.curve].push_back(vertex_px(v));
    });
  }
  for (auto& markers : markers_) std::sort(markers.begin(), markers.end());
}

void Layout::lay_out_legend() {
  legend_.clear();
  auto const& lanes = job_.inserted_curves();
  for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
    auto const curve = lanes[lane];
    std::size_t stopped = 0;
    for (auto const& entry : job_.report(curve)) stopped += entry.status == WALK_STOPPED ? 1 : 0;
    auto label = shortened(input_.curves[curve].name, 40) + " (" +
                 std::to_string(job_.report(curve).size()) + " inserted";
    if (stopped > 0) label += ", " + std::to_string(stopped) + " walk stopped";
    if (job_.removed(curve)) label += ", then removed";
    legend_.push_back({"curve", colour_of(lane), label + ")", 0, 0});
  }
  legend_.push_back({"background", BACKGROUND_VERTEX_COLOUR, "axis: background vertex", 0, 0});
  legend_.push_back({"split", SPLIT_VERTEX_COLOUR, "axis: vertex made by a split", 0, 0});
  legend_.push_back(
      {"input", "#111111", "lane: background vertex carrying a vertex of the curve", 0, 0});
  legend_.push_back({"stopped", WALK_STOPPED_COLOUR, "lane: edge whose walk stopped", 0, 0});
  double x = 20;
  std::size_t row = 0;
  for (auto& item : legend_) {
    auto const width = 18 + text_width(item.label, 11) + 22;
    if (x + width > WIDTH - 20 && x > 20) {
      x = 20;
      ++row;
    }
    item.x = x;
    item.row = row;
    x += width;
  }
  legend_rows_ = row + 1;
}

}  // namespace velk::tool::svg
