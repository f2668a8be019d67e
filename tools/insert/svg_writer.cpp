#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "insert/writers.hpp"

namespace velk::tool {
namespace {

// Page layout, in SVG user units (pixels).
constexpr double WIDTH = 1200;
constexpr double LEFT = 180;  // room for the lane labels
constexpr double RIGHT = 50;
constexpr double PLOT = WIDTH - LEFT - RIGHT;
constexpr double X_LABEL_Y = 80;
constexpr double AXIS_Y = 98;
constexpr double VERTEX_LABEL_Y = 122;
constexpr double EDGE_LABEL_Y = 138;
constexpr double FIRST_LANE_Y = 152;
constexpr double LANE_HEIGHT = 24;
constexpr double LANE_STEP = 34;

// Below these widths, in pixels, marks are merged or skipped so that they never pile up.
constexpr double MIN_TICK_GAP = 3;
constexpr double MIN_GUIDE_GAP = 6;
constexpr double MIN_MARKER_GAP = 5;
constexpr double MIN_RUN_WIDTH = 2;
constexpr double LABEL_GAP = 6;
// Average advance of a character, as a share of the font size.
constexpr double CHAR_ADVANCE = 0.62;
// Lane labels longer than this are shortened.
constexpr std::size_t MAX_LANE_LABEL = 22;

constexpr char const* BACKGROUND_VERTEX_COLOUR = "#222222";
constexpr char const* SPLIT_VERTEX_COLOUR = "#c0392b";
constexpr char const* WALK_STOPPED_COLOUR = "#c0392b";
constexpr auto WALK_STOPPED =
    static_cast<unsigned>(internal::ElementInsertionInfo::INSERTION_STATUS::walk_stopped);
constexpr char const* PALETTE[] = {"#4e79a7", "#f28e2b", "#59a14f", "#e15759", "#76b7b2",
                                   "#edc948", "#b07aa1", "#ff9da7", "#9c755f", "#8cd17d"};

std::string colour_of(std::size_t curve) {
  constexpr std::size_t PALETTE_SIZE = sizeof(PALETTE) / sizeof(PALETTE[0]);
  if (curve < PALETTE_SIZE) return PALETTE[curve];
  // Beyond the palette, hues a golden angle apart stay distinct the longest.
  auto const hue = std::fmod(static_cast<double>(curve) * 137.508, 360.0);
  return "hsl(" + std::to_string(static_cast<int>(hue)) + ",55%,48%)";
}

// A coordinate with at most two decimals, trailing zeros dropped.
std::string px(double value) {
  char buffer[64];
  auto const result =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

double text_width(std::string const& text, double font_size) {
  return static_cast<double>(utf8_length(text)) * font_size * CHAR_ADVANCE;
}

// Places centred labels from left to right, skipping each one that would overlap the last
// one placed or the one reserved at the far right.
class LabelRow {
 public:
  LabelRow(double font_size, double right_limit)
      : font_size_{font_size}, right_limit_{right_limit} {}

  bool fits(double centre, std::string const& text) const {
    auto const half = text_width(text, font_size_) / 2;
    return centre - half >= last_right_ + LABEL_GAP && centre + half + LABEL_GAP <= right_limit_;
  }

  void place(double centre, std::string const& text) {
    last_right_ = centre + text_width(text, font_size_) / 2;
  }

 private:
  double font_size_;
  double right_limit_;
  double last_right_ = -1e300;
};

// The indices of the positions of `sorted` (ascending, in pixels) that stand at least `gap`
// from their neighbours on both sides, positions within a hundredth of a pixel counting as
// one (its first index is kept). Marks drawn only there stay distinct, and a dense stretch
// shows none rather than a solid bar.
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

// One run of background edges that carry one input edge: where it lies along the axis.
struct Run {
  double low;
  double high;
  index_t input_edge;
  std::size_t nb_background_edges;
};

struct Scale {
  double low;
  double high;
  double operator()(double x) const { return LEFT + (x - low) / (high - low) * PLOT; }
};

class SvgPicture {
 public:
  SvgPicture(std::ostream& out, Job const& job)
      : out_{out}, job_{job}, input_{job.input()}, scale_{make_scale(job)} {
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
  }

  void write() {
    auto const& lanes = job_.inserted_curves();
    auto const nb_lanes = lanes.size();
    auto const lanes_bottom = FIRST_LANE_Y + static_cast<double>(nb_lanes) * LANE_STEP;
    auto const legend_top = lanes_bottom + 16;
    auto const legend_rows = legend_layout();
    auto const height = legend_top + static_cast<double>(legend_rows) * 22 + 14;
    out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << px(WIDTH) << "\" height=\""
         << px(height) << "\" viewBox=\"0 0 " << px(WIDTH) << ' ' << px(height)
         << "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\">\n"
         << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    write_title();
    write_guides(lanes_bottom - (LANE_STEP - LANE_HEIGHT));
    write_axis();
    for (std::size_t lane = 0; lane < nb_lanes; ++lane) {
      write_lane(lanes[lane], lane, FIRST_LANE_Y + static_cast<double>(lane) * LANE_STEP);
    }
    write_legend(legend_top);
    out_ << "</svg>\n";
  }

 private:
  static Scale make_scale(Job const& job) {
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

  double vertex_px(index_t vertex) const { return scale_(job_.x(vertex)); }

  void text(double x, double y, std::string const& content, double size, char const* anchor,
            char const* fill, char const* extra = "") {
    out_ << "<text x=\"" << px(x) << "\" y=\"" << px(y) << "\" font-size=\"" << px(size)
         << "\" text-anchor=\"" << anchor << "\" fill=\"" << fill << '"' << extra << '>'
         << xml_escape(content) << "</text>\n";
  }

  void write_title() {
    std::size_t splits = 0;
    for (index_t v = 0; v < job_.nb_vertices(); ++v) splits += job_.created_by_split(v) ? 1 : 0;
    text(20, 30,
         "Background line " + quote_text(shortened(input_.background.name, 60)) + " with " +
             count_of(job_.inserted_curves().size(), "input curve"),
         18, "start", "#111111", " font-weight=\"bold\"");
    text(20, 50,
         count_of(job_.nb_vertices(), "vertex", "vertices") + " (" + std::to_string(splits) +
             " made by splits), " + count_of(job_.nb_edges(), "edge") + ", x from " +
             format_number(sorted_x_.empty() ? 0.0 : sorted_x_.front()) + " to " +
             format_number(sorted_x_.empty() ? 0.0 : sorted_x_.back()),
         12, "start", "#555555");
    text(LEFT - 12, X_LABEL_Y, "x", 11, "end", "#555555");
    text(LEFT - 12, AXIS_Y + 4, "background", 12, "end", "#111111", " font-weight=\"bold\"");
    text(LEFT - 12, VERTEX_LABEL_Y, "vertex", 10, "end", "#555555");
    text(LEFT - 12, EDGE_LABEL_Y, "edge", 10, "end", "#555555");
  }

  // Faint vertical lines from the axis down through the lanes, one per background vertex
  // where they stay apart.
  void write_guides(double bottom) {
    if (job_.inserted_curves().empty()) return;
    std::string path;
    for (auto const i : isolated(sorted_px_, MIN_GUIDE_GAP)) {
      path += "M" + px(sorted_px_[i]) + " " + px(AXIS_Y + 8) + "V" + px(bottom);
    }
    out_ << "<path d=\"" << path
         << "\" stroke=\"#c8c8c8\" stroke-width=\"0.6\" stroke-dasharray=\"2,3\" fill=\"none\"/>\n";
  }

  void write_axis() {
    // The axis: one thick line per run of touching background edges.
    std::vector<std::pair<double, double>> spans;
    for (index_t e = 0; e < job_.nb_edges(); ++e) {
      auto const vertices = job_.edge_vertices(e);
      auto const a = vertex_px(vertices[0]);
      auto const b = vertex_px(vertices[1]);
      spans.emplace_back(std::min(a, b), std::max(a, b));
    }
    std::sort(spans.begin(), spans.end());
    std::string path;
    for (std::size_t i = 0; i < spans.size();) {
      auto low = spans[i].first;
      auto high = spans[i].second;
      for (++i; i < spans.size() && spans[i].first <= high + 1; ++i) {
        high = std::max(high, spans[i].second);
      }
      path += "M" + px(low) + " " + px(AXIS_Y) + "H" + px(std::max(high, low + 1));
    }
    out_ << "<path d=\"" << path << "\" stroke=\"#8a8a8a\" stroke-width=\"5\" fill=\"none\"/>\n";

    // Vertex ticks, background vertices and vertices made by splits apart.
    std::string background_ticks;
    std::string split_ticks;
    for (auto const i : isolated(sorted_px_, MIN_TICK_GAP)) {
      auto& ticks = job_.created_by_split(static_cast<index_t>(vertex_order_[i]))
                        ? split_ticks
                        : background_ticks;
      ticks += "M" + px(sorted_px_[i]) + " " + px(AXIS_Y - 8) + "V" + px(AXIS_Y + 8);
    }
    out_ << "<path d=\"" << background_ticks << "\" stroke=\"" << BACKGROUND_VERTEX_COLOUR
         << "\" stroke-width=\"1.5\" fill=\"none\"/>\n";
    out_ << "<path d=\"" << split_ticks << "\" stroke=\"" << SPLIT_VERTEX_COLOUR
         << "\" stroke-width=\"1.5\" fill=\"none\"/>\n";

    // Coordinates above the axis and vertex indices below, thinned; the rightmost vertex
    // keeps its coordinate so that both ends of the axis are labelled.
    if (vertex_order_.empty()) return;
    auto const last_vertex = static_cast<index_t>(vertex_order_.back());
    auto const last_label = format_number(job_.x(last_vertex));
    auto const last_x = vertex_px(last_vertex);
    LabelRow coordinates{11, last_x - text_width(last_label, 11) / 2};
    LabelRow indices{10, WIDTH};
    for (auto const v : vertex_order_) {
      auto const x = vertex_px(static_cast<index_t>(v));
      auto const label = format_number(job_.x(static_cast<index_t>(v)));
      if (v != last_vertex && coordinates.fits(x, label)) {
        coordinates.place(x, label);
        text(x, X_LABEL_Y, label, 11, "middle", "#333333");
      }
      auto const index = std::to_string(v);
      if (indices.fits(x, index)) {
        indices.place(x, index);
        text(x, VERTEX_LABEL_Y, index, 10, "middle",
             job_.created_by_split(static_cast<index_t>(v)) ? SPLIT_VERTEX_COLOUR : "#555555");
      }
    }
    text(last_x, X_LABEL_Y, last_label, 11, "middle", "#333333");

    // Edge indices between their vertices, where the edge is wide enough.
    std::vector<std::pair<double, std::size_t>> centres;
    for (index_t e = 0; e < job_.nb_edges(); ++e) {
      auto const vertices = job_.edge_vertices(e);
      auto const a = vertex_px(vertices[0]);
      auto const b = vertex_px(vertices[1]);
      centres.emplace_back((a + b) / 2, e);
    }
    std::sort(centres.begin(), centres.end());
    LabelRow edge_labels{10, WIDTH};
    for (auto const& [centre, e] : centres) {
      auto const vertices = job_.edge_vertices(static_cast<index_t>(e));
      auto const width = std::abs(vertex_px(vertices[1]) - vertex_px(vertices[0]));
      auto const label = std::to_string(e);
      if (width >= text_width(label, 10) + 4 && edge_labels.fits(centre, label)) {
        edge_labels.place(centre, label);
        text(centre, EDGE_LABEL_Y, label, 10, "middle", "#777777", " font-style=\"italic\"");
      }
    }
  }

  // The runs of background edges that carry each input edge, per curve, by position: the
  // pieces of one input edge (its background edges' intervals, a repeat of the input edge
  // on one background edge counted once) joined where they touch or overlap. One pass over
  // the background edges by position, with one open run per input edge: the memory of the
  // runs, not of the macro entries.
  void find_runs() {
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
  void find_markers() {
    markers_.assign(input_.curves.size(), {});
    std::vector<index_t> last_marked(input_.curves.size(), NO_ID);
    for (index_t v = 0; v < job_.nb_vertices(); ++v) {
      job_.for_each_macro_vertex(v, [&](MacroRef const& ref) {
        if (last_marked[ref.curve] == v) return;
        last_marked[ref.curve] = v;
        markers_[ref.curve].push_back(vertex_px(v));
      });
    }
  }

  // The lane of input curve `curve`, the `lane`-th one drawn (which picks its colour).
  void write_lane(std::size_t curve, std::size_t lane, double top) {
    auto const& data = input_.curves[curve];
    auto const colour = colour_of(lane);
    auto const name = data.name;
    out_ << "<g>\n<title>" << xml_escape(name) << "</title>\n";
    out_ << "<rect x=\"" << px(LEFT) << "\" y=\"" << px(top) << "\" width=\"" << px(PLOT)
         << "\" height=\"" << px(LANE_HEIGHT) << "\" fill=\"#f2f2f2\"/>\n";
    out_ << "<rect x=\"" << px(LEFT - 12 - 10) << "\" y=\"" << px(top + 7) << "\" width=\"10\" "
         << "height=\"10\" fill=\"" << colour << "\"/>\n";
    text(LEFT - 28, top + 16, shortened(name, MAX_LANE_LABEL), 12, "end", "#111111",
         " font-weight=\"bold\"");
    out_ << "</g>\n";
    // A curve removed after the insertions carries nothing: its lane stays empty.
    if (job_.removed(curve)) {
      text(LEFT + PLOT / 2, top + 16, "removed after the insertions", 11, "middle", "#777777",
           " font-style=\"italic\"");
      return;
    }

    // Edges of the curve over the background edges that carry them: a rectangle per run
    // wide enough to see, and one per cluster of narrower touching runs.
    auto const& runs = runs_[curve];
    LabelRow labels{10, WIDTH};
    std::vector<Run> cluster;
    auto const flush = [&]() {
      if (cluster.empty()) return;
      if (cluster.size() == 1) {
        draw_run(curve, cluster.front(), top, colour, labels);
      } else {
        auto const low = scale_(cluster.front().low);
        double high_x = cluster.front().high;
        index_t first = cluster.front().input_edge;
        index_t last = first;
        for (auto const& run : cluster) {
          high_x = std::max(high_x, run.high);
          first = std::min(first, run.input_edge);
          last = std::max(last, run.input_edge);
        }
        auto const high = std::max(scale_(high_x), low + 1);
        out_ << "<rect x=\"" << px(low) << "\" y=\"" << px(top + 2) << "\" width=\""
             << px(high - low) << "\" height=\"" << px(LANE_HEIGHT - 4) << "\" fill=\"" << colour
             << "\" fill-opacity=\"0.8\"><title>" << xml_escape(name) << ": " << cluster.size()
             << " runs of input edges " << first << " to " << last << ", x from "
             << format_number(cluster.front().low) << " to " << format_number(high_x)
             << "</title></rect>\n";
      }
      cluster.clear();
    };
    double cluster_low = 0;
    double cluster_high = 0;
    for (auto const& run : runs) {
      auto const low = scale_(run.low);
      auto const high = scale_(run.high);
      if (high - low >= MIN_RUN_WIDTH) {
        flush();
        draw_run(curve, run, top, colour, labels);
        continue;
      }
      if (!cluster.empty() &&
          (low > cluster_high + 0.5 || cluster_high - cluster_low >= MIN_RUN_WIDTH)) {
        flush();
      }
      if (cluster.empty()) cluster_low = low;
      cluster_high = cluster.empty() ? high : std::max(cluster_high, high);
      cluster.push_back(run);
    }
    flush();
    write_run_joints(runs, top);

    // Input edges whose walk stopped carry nothing: a dashed outline between their ends.
    std::vector<bool> drawn(data.edges.size(), false);
    for (auto const& entry : job_.report(curve)) {
      if (entry.status != WALK_STOPPED || drawn[entry.edge]) continue;
      drawn[entry.edge] = true;
      auto const& ends = data.edges[entry.edge];
      auto const a = scale_(data.points[ends[0]]);
      auto const b = scale_(data.points[ends[1]]);
      out_ << "<rect x=\"" << px(std::min(a, b)) << "\" y=\"" << px(top + 3) << "\" width=\""
           << px(std::max(std::abs(b - a), 1.0)) << "\" height=\"" << px(LANE_HEIGHT - 6)
           << "\" fill=\"none\" stroke=\"" << WALK_STOPPED_COLOUR
           << "\" stroke-width=\"1.5\" stroke-dasharray=\"4,2\"><title>" << xml_escape(name)
           << " edge " << entry.edge
           << ": walk stopped, no background edge carries it</title></rect>\n";
    }

    // The background vertices that carry the curve's vertices.
    auto& markers = markers_[curve];
    std::sort(markers.begin(), markers.end());
    std::string path;
    for (auto const i : isolated(markers, MIN_MARKER_GAP)) {
      path += "M" + px(markers[i]) + " " + px(top - 2) + "V" + px(top + LANE_HEIGHT + 2);
    }
    if (!path.empty()) {
      out_ << "<path d=\"" << path
           << "\" stroke=\"#111111\" stroke-width=\"1.5\" fill=\"none\"/>\n";
    }
  }

  // Thin light lines across the runs at the background vertices inside them, so that an
  // input edge shows the background edges that carry it; skipped where they would crowd.
  void write_run_joints(std::vector<Run> const& runs, double top) {
    std::vector<double> joints;
    for (auto const& run : runs) {
      if (scale_(run.high) - scale_(run.low) < MIN_GUIDE_GAP * 2) continue;
      auto position = std::upper_bound(sorted_x_.begin(), sorted_x_.end(), run.low);
      for (; position != sorted_x_.end() && *position < run.high; ++position) {
        joints.push_back(scale_(*position));
      }
    }
    std::sort(joints.begin(), joints.end());
    std::string path;
    for (auto const i : isolated(joints, MIN_GUIDE_GAP)) {
      path += "M" + px(joints[i]) + " " + px(top + 3) + "V" + px(top + LANE_HEIGHT - 3);
    }
    if (!path.empty()) {
      out_ << "<path d=\"" << path
           << "\" stroke=\"#ffffff\" stroke-width=\"1\" stroke-opacity=\"0.8\" fill=\"none\"/>\n";
    }
  }

  void draw_run(std::size_t curve, Run const& run, double top, std::string const& colour,
                LabelRow& labels) {
    auto const low = scale_(run.low);
    auto const high = std::max(scale_(run.high), low + 1);
    auto const width = high - low;
    out_ << "<rect x=\"" << px(low) << "\" y=\"" << px(top + 2) << "\" width=\"" << px(width)
         << "\" height=\"" << px(LANE_HEIGHT - 4) << "\" fill=\"" << colour << "\" fill-opacity=\""
         << (run.input_edge % 2 == 0 ? "0.95" : "0.6") << '"'
         << (width >= 6 ? " stroke=\"#ffffff\" stroke-width=\"1\"" : "") << "><title>"
         << xml_escape(input_.curves[curve].name) << " edge " << run.input_edge << ": x from "
         << format_number(run.low) << " to " << format_number(run.high) << ", over "
         << run.nb_background_edges << " background edge"
         << (run.nb_background_edges == 1 ? "" : "s") << "</title></rect>\n";
    auto const label = std::to_string(run.input_edge);
    auto const centre = (low + high) / 2;
    if (width >= text_width(label, 10) + 6 && labels.fits(centre, label)) {
      labels.place(centre, label);
      text(centre, top + LANE_HEIGHT / 2 + 4, label, 10, "middle", "#111111");
    }
  }

  // The legend items, each a mark and a text, laid out in rows that fit the page width.
  struct LegendItem {
    std::string kind;  // "curve", "background", "split", "input", "stopped"
    std::string colour;
    std::string label;
    double x;
    std::size_t row;
  };

  std::size_t legend_layout() {
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
    return row + 1;
  }

  void write_legend(double top) {
    for (auto const& item : legend_) {
      auto const y = top + static_cast<double>(item.row) * 22;
      auto const x = item.x;
      if (item.kind == "curve") {
        out_ << "<rect x=\"" << px(x) << "\" y=\"" << px(y)
             << "\" width=\"12\" height=\"12\" fill=\"" << item.colour << "\"/>\n";
      } else if (item.kind == "stopped") {
        out_ << "<rect x=\"" << px(x) << "\" y=\"" << px(y + 1) << "\" width=\"12\" height=\"10\" "
             << "fill=\"none\" stroke=\"" << item.colour
             << "\" stroke-width=\"1.5\" stroke-dasharray=\"4,2\"/>\n";
      } else {
        out_ << "<path d=\"M" << px(x + 6) << " " << px(y - 1) << "V" << px(y + 13)
             << "\" stroke=\"" << item.colour << "\" stroke-width=\"1.5\"/>\n";
      }
      text(x + 18, y + 10, item.label, 11, "start", "#222222");
    }
  }

  std::ostream& out_;
  Job const& job_;
  JobInput const& input_;
  Scale scale_;
  std::vector<std::vector<Run>> runs_;
  std::vector<std::vector<double>> markers_;
  std::vector<std::size_t> vertex_order_;
  std::vector<double> sorted_x_;
  std::vector<double> sorted_px_;
  std::vector<LegendItem> legend_;
};

}  // namespace

void write_svg(std::ostream& out, Job const& job) { SvgPicture{out, job}.write(); }

}  // namespace velk::tool
