// Where everything of the SVG picture of a job lies (the drawing is in svg_writer.cpp): the
// page's measures, the scale of the axis, the background vertices in axis order, the runs of
// background edges that carry each input edge, the marks of each curve's vertices, the
// thinning of marks and labels, and the rows of the legend.
//
//   velk::tool::svg::Layout layout{job};
//   for (auto const& run : layout.runs(curve)) layout.scale()(run.low);
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "insert/job.hpp"

namespace velk::tool::svg {

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
inline constexpr auto WALK_STOPPED = InsertedEdge::STATUS::walk_stopped;
inline constexpr char const* PALETTE[] = {"#4e79a7", "#f28e2b", "#59a14f", "#e15759", "#76b7b2",
                                          "#edc948", "#b07aa1", "#ff9da7", "#9c755f", "#8cd17d"};

// The colour of the `lane`-th lane drawn.
std::string colour_of(std::size_t lane);

// The width of `text` at `font_size`, estimated.
double text_width(std::string const& text, double font_size);

// Places centred labels from left to right, skipping each one that would overlap the last
// one placed or the one reserved at the far right.
class LabelRow {
 public:
  LabelRow(double font_size, double right_limit)
      : font_size_{font_size}, right_limit_{right_limit} {}

  bool fits(double centre, std::string const& text) const;
  void place(double centre, std::string const& text);

 private:
  double font_size_;
  double right_limit_;
  double last_right_ = -1e300;
};

// The indices of the positions of `sorted` (ascending, in pixels) that stand at least `gap`
// from their neighbours on both sides, positions within a hundredth of a pixel counting as
// one (its first index is kept). Marks drawn only there stay distinct, and a dense stretch
// shows none rather than a solid bar.
std::vector<std::size_t> isolated(std::vector<double> const& sorted, double gap);

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

// The legend items, each a mark and a text, laid out in rows that fit the page width.
struct LegendItem {
  std::string kind;  // "curve", "background", "split", "input", "stopped"
  std::string colour;
  std::string label;
  double x;
  std::size_t row;
};

class Layout {
 public:
  explicit Layout(Job const& job);

  Scale const& scale() const { return scale_; }
  double vertex_px(index_t vertex) const { return scale_(job_.x(vertex)); }
  // The background vertices in axis order, their coordinates and their positions in pixels.
  std::vector<std::size_t> const& vertex_order() const { return vertex_order_; }
  std::vector<double> const& sorted_x() const { return sorted_x_; }
  std::vector<double> const& sorted_px() const { return sorted_px_; }
  // The runs of input curve `curve`, by position.
  std::vector<Run> const& runs(std::size_t curve) const { return runs_[curve]; }
  // The positions, in pixels and ascending, of the background vertices that carry a vertex
  // of input curve `curve`.
  std::vector<double> const& markers(std::size_t curve) const { return markers_[curve]; }
  std::vector<LegendItem> const& legend() const { return legend_; }
  std::size_t legend_rows() const { return legend_rows_; }

 private:
  void find_runs();
  void find_markers();
  void lay_out_legend();

  Job const& job_;
  JobInput const& input_;
  Scale scale_;
  std::vector<std::vector<Run>> runs_;
  std::vector<std::vector<double>> markers_;
  std::vector<std::size_t> vertex_order_;
  std::vector<double> sorted_x_;
  std::vector<double> sorted_px_;
  std::vector<LegendItem> legend_;
  std::size_t legend_rows_ = 0;
};

}  // namespace velk::tool::svg
