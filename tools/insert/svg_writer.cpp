// The drawing of the SVG picture of a job; where everything lies is in svg_layout.cpp.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "insert/svg_layout.hpp"
#include "insert/writers.hpp"

namespace velk::tool {
namespace {

using namespace svg;

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

class SvgPicture {
 public:
  SvgPicture(std::ostream& out, Job const& job)
      : out_{out},
        job_{job},
        input_{job.input()},
        layout_{job},
        scale_{layout_.scale()},
        vertex_order_{layout_.vertex_order()},
        sorted_x_{layout_.sorted_x()},
        sorted_px_{layout_.sorted_px()} {}

  void write() {
    auto const& lanes = job_.inserted_curves();
    auto const nb_lanes = lanes.size();
    auto const lanes_bottom = FIRST_LANE_Y + static_cast<double>(nb_lanes) * LANE_STEP;
    auto const legend_top = lanes_bottom + 16;
    auto const height = legend_top + static_cast<double>(layout_.legend_rows()) * 22 + 14;
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
  double vertex_px(index_t vertex) const { return layout_.vertex_px(vertex); }

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
    auto const& runs = layout_.runs(curve);
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
    auto const& markers = layout_.markers(curve);
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

  void write_legend(double top) {
    for (auto const& item : layout_.legend()) {
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
  svg::Layout layout_;
  svg::Scale const& scale_;
  std::vector<std::size_t> const& vertex_order_;
  std::vector<double> const& sorted_x_;
  std::vector<double> const& sorted_px_;
};

}  // namespace

void write_svg(std::ostream& out, Job const& job) { SvgPicture{out, job}.write(); }

}  // namespace velk::tool
