// End-to-end tests of the tool's outputs: the demo's known result and summary, the VTK
// polydata read back against the JSON, and the SVG parsed as XML, also for names that need
// escaping and for thousands of edges.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tool_runner.hpp"
#include "xml_check.hpp"

namespace {

using nlohmann::json;
using velk::tool_test::lines_of;
using velk::tool_test::read_file;
using velk::tool_test::read_json;
using velk::tool_test::run_program;
using velk::tool_test::run_tool;
using velk::tool_test::ScratchDirectory;
using velk::tool_test::write_file;
using velk::tool_test::xml_fault;

// The name of a curve's VTK array: one token, with %XX for the bytes the format cannot
// hold in one (VTK's reader decodes them).
std::string vtk_array_name(std::string const& name) {
  std::string encoded;
  for (char const character : name) {
    auto const byte = static_cast<unsigned char>(character);
    if (byte <= 0x20U || byte >= 0x7FU || character == '%' || character == '"') {
      char hex[4];
      std::snprintf(hex, sizeof(hex), "%%%02X", byte);
      encoded += hex;
    } else {
      encoded += character;
    }
  }
  return encoded;
}

// Reads the VTK file back and checks it against the JSON result: the legacy header, counts
// that agree, points at (x, 0, 0), the edges as line cells, the macro counts as data and,
// per curve of the result not removed again, an array named after it counting its input
// edges on each edge.
void expect_vtk_matches(std::string const& vtk, json const& result) {
  auto const& vertices = result["background"]["vertices"];
  auto const& edges = result["background"]["edges"];
  auto curves = json::array();
  for (auto const& curve : result["curves"]) {
    if (!curve.contains("removed")) curves.push_back(curve);
  }
  auto const lines = lines_of(vtk);
  auto const n = vertices.size();
  auto const m = edges.size();
  ASSERT_EQ(lines.size(), 4 + 1 + n + 1 + m + 3 + m + curves.size() * (2 + m) + 3 + n);
  EXPECT_EQ(lines[0], "# vtk DataFile Version 3.0");
  EXPECT_LE(lines[1].size(), 256U);
  EXPECT_EQ(lines[2], "ASCII");
  EXPECT_EQ(lines[3], "DATASET POLYDATA");
  EXPECT_EQ(lines[4], "POINTS " + std::to_string(n) + " double");
  std::size_t line = 5;
  for (std::size_t v = 0; v < n; ++v, ++line) {
    std::istringstream fields{lines[line]};
    double x = 0, y = 1, z = 1;
    fields >> x >> y >> z;
    EXPECT_TRUE(fields && fields.eof()) << lines[line];
    EXPECT_EQ(x, vertices[v]["x"].get<double>());
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(z, 0.0);
  }
  EXPECT_EQ(lines[line++], "LINES " + std::to_string(m) + " " + std::to_string(3 * m));
  for (std::size_t e = 0; e < m; ++e, ++line) {
    auto const& ends = edges[e]["vertices"];
    EXPECT_EQ(lines[line], "2 " + ends[0].dump() + " " + ends[1].dump());
  }
  EXPECT_EQ(lines[line++], "CELL_DATA " + std::to_string(m));
  EXPECT_EQ(lines[line++], "SCALARS macro_elements int 1");
  EXPECT_EQ(lines[line++], "LOOKUP_TABLE default");
  for (std::size_t e = 0; e < m; ++e, ++line) {
    EXPECT_EQ(lines[line], std::to_string(edges[e]["macro_elements"].size()));
  }
  for (auto const& curve : curves) {
    auto const name = curve["name"].get<std::string>();
    EXPECT_EQ(lines[line++], "SCALARS " + vtk_array_name(name) + " int 1");
    EXPECT_EQ(lines[line++], "LOOKUP_TABLE default");
    for (std::size_t e = 0; e < m; ++e, ++line) {
      std::size_t carried = 0;
      for (auto const& macro : edges[e]["macro_elements"]) carried += macro["curve"] == name;
      EXPECT_EQ(lines[line], std::to_string(carried)) << name << " on edge " << e;
    }
  }
  EXPECT_EQ(lines[line++], "POINT_DATA " + std::to_string(n));
  EXPECT_EQ(lines[line++], "SCALARS macro_vertices int 1");
  EXPECT_EQ(lines[line++], "LOOKUP_TABLE default");
  for (std::size_t v = 0; v < n; ++v, ++line) {
    EXPECT_EQ(lines[line], std::to_string(vertices[v]["macro_vertices"].size()));
  }
}

// Checks the SVG with the test's own XML check and, when Python is there, with its parser.
void expect_well_formed_svg(ScratchDirectory const& work, std::string const& file) {
  auto const svg = read_file(work / file);
  std::vector<std::string> names;
  EXPECT_EQ(xml_fault(svg, &names), "");
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "svg");
  std::string const python = VELK_PYTHON3;
  if (!python.empty()) {
    auto const parsed = run_program(
        python, {"-c", "import sys, xml.etree.ElementTree as E; E.parse(sys.argv[1])", file},
        work.path());
    EXPECT_EQ(parsed.exit_code, 0) << parsed.err;
  }
}

struct Label {
  double x;
  std::string text;
};

// The centred labels written at one height, by position (captions, anchored at their end
// left of the plot, are left out).
std::vector<Label> labels_at(std::string const& svg, std::string const& y) {
  std::regex const pattern{"<text x=\"([-0-9.]+)\" y=\"" + y +
                           "\" font-size=\"[0-9.]+\" text-anchor=\"middle\"[^>]*>([^<]*)</text>"};
  std::vector<Label> labels;
  for (std::sregex_iterator it{svg.begin(), svg.end(), pattern}, end; it != end; ++it) {
    labels.push_back({std::stod((*it)[1].str()), (*it)[2].str()});
  }
  std::sort(labels.begin(), labels.end(), [](auto const& a, auto const& b) { return a.x < b.x; });
  return labels;
}

// Centred labels of `font_size` that would overlap if a character were `em` of the font
// size wide.
void expect_no_overlap(std::vector<Label> const& labels, double font_size, double em) {
  for (std::size_t i = 1; i < labels.size(); ++i) {
    auto const half = [&](Label const& label) {
      return static_cast<double>(label.text.size()) * font_size * em / 2;
    };
    EXPECT_LE(labels[i - 1].x + half(labels[i - 1]), labels[i].x - half(labels[i]))
        << labels[i - 1].text << " at " << labels[i - 1].x << " and " << labels[i].text << " at "
        << labels[i].x;
  }
}

std::size_t count_of(std::string const& text, std::string const& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ToolOutputs, DemoGivesKnownResultAndSummary) {
  ScratchDirectory work;
  auto const run = run_tool({"demo", "--out", "d", "--quiet"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(velk::tool_test::entries_of(work / "d"),
            (std::vector<std::string>{"result.json", "result.svg", "result.vtk"}));
  EXPECT_EQ(read_json(work / "d/result.json"),
            read_json(std::string{VELK_TOOL_CASES} + "/demo.expected.json"));
  auto const lines = lines_of(run.out);
  ASSERT_GE(lines.size(), 3U);
  EXPECT_EQ(lines.front(),
            "Background \"background\" after inserting 3 curves: 12 vertices, 11 edges");
  // Snapping shows on the vertex at 2, an edge over several background edges in the chains.
  auto const has = [&lines](std::string const& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("  2       2    background  well-A:1 (x = 2.000000001) (2 times)")) << run.out;
  EXPECT_TRUE(has("  10    11 -> 3   [2.5, 3]  well-A:1, well-B:0, fault-C:0")) << run.out;
  EXPECT_TRUE(
      has("  fault-C:0   6 -> 2.5            inserted  6 -> 11              8, 7, 4, 3, 0, 10"))
      << run.out;
  EXPECT_EQ(lines.back(), "Wrote d/result.json d/result.vtk d/result.svg");
}

// The JSON result as the documented layout prints it: one compact record per line, as
// nlohmann::ordered_json prints each (its number forms and escapes), between the list
// brackets. The streamed writer must give these bytes exactly.
std::string laid_out(nlohmann::ordered_json const& result) {
  auto const compact = [](nlohmann::ordered_json const& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  };
  auto const list = [&compact](std::string const& indent, char const* key,
                               nlohmann::ordered_json const& items, bool last) {
    std::string text = indent + "\"" + key + "\": [";
    for (std::size_t i = 0; i < items.size(); ++i) {
      text += (i == 0 ? "\n" : ",\n") + indent + "  " + compact(items[i]);
    }
    return text + (items.empty() ? "]" : "\n" + indent + "]") + (last ? "\n" : ",\n");
  };
  auto const& background = result["background"];
  std::string text = "{\n  \"background\": {\n    \"name\": " + compact(background["name"]) + ",\n";
  text += list("    ", "vertices", background["vertices"], false);
  text += list("    ", "edges", background["edges"], true);
  text += "  },\n  \"curves\": [";
  auto const& curves = result["curves"];
  for (std::size_t c = 0; c < curves.size(); ++c) {
    text += (c == 0 ? "\n" : ",\n") + std::string{"    {\n      \"name\": "} +
            compact(curves[c]["name"]) + ",\n";
    text += list("      ", "report", curves[c]["report"], false);
    text += list("      ", "paths", curves[c]["paths"], true);
    text += "    }";
  }
  text += curves.empty() ? "]" : "\n  ]";
  if (result.contains("skipped")) {
    auto const& skipped = result["skipped"];
    text += ",\n  \"skipped\": [";
    for (std::size_t i = 0; i < skipped.size(); ++i) {
      text += (i == 0 ? "\n    " : ",\n    ") + compact(skipped[i]);
    }
    text += skipped.empty() ? "]" : "\n  ]";
  }
  return text + "\n}\n";
}

TEST(ToolOutputs, JsonIsLaidOutOneRecordPerLine) {
  ScratchDirectory work;
  // Names that need escapes, coordinates in every number form, a walk that stops, a curve
  // inserted twice over and one with no edge.
  std::string const name = "a\"\\\b\f\n\r\t\x01\x1f/ \xC3\xA9 \xE2\x98\x83";
  json const input{
      {"background", {{"name", "bg \x7f"}, {"points", {-1e300, -0.0, 1e-9, 0.1, 3, 1e300}}}},
      {"curves",
       {{{"name", name}, {"points", {-5, 0.30000000000000004, 2.5, 1e299, 1.5e29}}},
        {{"name", "twice"}, {"points", {0.5, 0.25}}, {"insert", {0, 0}}},
        {{"name", "one"}, {"points", {1}}}}}};
  write_file(work / "in.json", input.dump());
  auto with_outside = input;
  with_outside["curves"].push_back({{"name", "outside"}, {"points", {0, 2e300}}});
  write_file(work / "outside.json", with_outside.dump());
  for (auto const& job : {std::vector<std::string>{"insert", "in.json", "-q"},
                          std::vector<std::string>{"insert", "outside.json", "-q", "--keep-going"},
                          std::vector<std::string>{"demo", "--out", ".", "-q"}}) {
    auto const run = run_tool(job, work.path());
    ASSERT_EQ(run.exit_code, job[1] == "outside.json" ? 3 : 0) << run.err;
    auto const text = read_file(work / "result.json");
    EXPECT_EQ(text, laid_out(nlohmann::ordered_json::parse(text)));
    if (job[1] == "outside.json") {
      EXPECT_NE(text.find("\n  \"skipped\": [\n    {\"curve\":\"outside\",\"index\":3,"
                          "\"reason\":\"point 1 at x = 2e+300 lies on no background edge\"}"
                          "\n  ]\n}\n"),
                std::string::npos);
    }
  }
  EXPECT_NE(
      read_file(work / "result.json")
          .find("      {\"index\":2,\"x\":2.0,\"created_by_split\":false,\"macro_vertices\":"
                "[{\"curve\":\"well-A\",\"vertex\":1},{\"curve\":\"well-A\",\"vertex\":1}]},\n"),
      std::string::npos);
}

TEST(ToolOutputs, DemoWritesIntoVelkDemoByDefault) {
  ScratchDirectory work;
  auto const run = run_tool({"demo", "-q"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(velk::tool_test::entries_of(work / "velk-demo"),
            (std::vector<std::string>{"result.json", "result.svg", "result.vtk"}));
}

TEST(ToolOutputs, VtkAgreesWithJson) {
  for (std::string const& input : {std::string{VELK_EXAMPLES_DIR} + "/two_wells.json",
                                   std::string{VELK_TOOL_CASES} + "/walk_stopped.json",
                                   std::string{VELK_TOOL_CASES} + "/removed_curve.json"}) {
    SCOPED_TRACE(input);
    ScratchDirectory work;
    auto const run = run_tool({"insert", input, "--vtk", "result.vtk", "-q"}, work.path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    expect_vtk_matches(read_file(work / "result.vtk"), read_json(work / "result.json"));
  }
}

TEST(ToolOutputs, DemoSvgIsWellFormedWithLanesLegendAndRuns) {
  ScratchDirectory work;
  ASSERT_EQ(run_tool({"demo", "--out", ".", "-q"}, work.path()).exit_code, 0);
  expect_well_formed_svg(work, "result.svg");
  auto const svg = read_file(work / "result.svg");
  // One lane per curve, each in the legend with its number of inserted edges.
  EXPECT_EQ(count_of(svg, "fill=\"#f2f2f2\""), 3U);
  for (std::string const entry :
       {"well-A (2 inserted)", "well-B (2 inserted)", "fault-C (1 inserted)"}) {
    EXPECT_EQ(count_of(svg, ">" + entry + "</text>"), 1U) << entry;
  }
  // Each input edge is drawn over the background edges that carry it.
  EXPECT_EQ(count_of(svg, "<title>well-A edge 0: x from 0.5 to 2, over 3 background edges</title>"),
            1U);
  EXPECT_EQ(
      count_of(svg, "<title>fault-C edge 0: x from 2.5 to 6, over 6 background edges</title>"), 1U);
  EXPECT_EQ(count_of(svg, "<title>fault-C edge 1"), 0U);
  // Every vertex is labelled with its coordinate: the demo is small enough.
  auto const coordinates = labels_at(svg, "80");
  ASSERT_EQ(coordinates.size(), 12U);
  EXPECT_EQ(coordinates.back().text, "6");
  auto const walk = run_tool(
      {"insert", std::string{VELK_TOOL_CASES} + "/walk_stopped.json", "--svg", "stopped.svg", "-q"},
      work.path());
  ASSERT_EQ(walk.exit_code, 0);
  auto const stopped = read_file(work / "stopped.svg");
  EXPECT_EQ(count_of(stopped, "cross edge 0: walk stopped, no background edge carries it"), 1U);

  // A curve removed after the insertions keeps its lane, empty, and says so in the legend.
  auto const removal = run_tool({"insert", std::string{VELK_TOOL_CASES} + "/removed_curve.json",
                                 "--svg", "removed.svg", "-q"},
                                work.path());
  ASSERT_EQ(removal.exit_code, 0) << removal.err;
  expect_well_formed_svg(work, "removed.svg");
  auto const removed = read_file(work / "removed.svg");
  EXPECT_EQ(count_of(removed, "fill=\"#f2f2f2\""), 2U);
  EXPECT_EQ(count_of(removed, ">kept (1 inserted)</text>"), 1U);
  EXPECT_EQ(count_of(removed, ">gone (2 inserted, then removed)</text>"), 1U);
  EXPECT_EQ(count_of(removed, ">removed after the insertions</text>"), 1U);
  EXPECT_EQ(count_of(removed, "<title>kept edge 0:"), 1U);
  EXPECT_EQ(count_of(removed, "<title>gone edge"), 0U);
}

TEST(ToolOutputs, NamesNeedingEscapesStaySafeInEveryOutput) {
  ScratchDirectory work;
  std::string const name = "<&>\"' \xC3\xBC \x01 tab\tline\nend \xEF\xBF\xBF";
  json const input{{"background", {{"name", "bg\nline"}, {"points", {0, 1, 2}}}},
                   {"curves", {{{"name", name}, {"points", {0.5, 1.5}}}}}};
  write_file(work / "in.json", input.dump());
  auto const run = run_tool({"insert", "in.json", "--svg", "r.svg", "--vtk", "r.vtk"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // Every log line stays one line, although the library's progress lines hold the name.
  auto const log = lines_of(run.err);
  ASSERT_EQ(log.size(), 8U) << run.err;
  for (auto const& line : log) EXPECT_EQ(line.rfind("[info] ", 0), 0U) << line;
  EXPECT_EQ(log[0], "[info] read in.json: background \"bg\\nline\" with 2 edges, 1 input curve");
  EXPECT_EQ(read_json(work / "result.json")["curves"][0]["name"], name);
  expect_well_formed_svg(work, "r.svg");
  auto const vtk = lines_of(read_file(work / "r.vtk"));
  ASSERT_GE(vtk.size(), 3U);
  EXPECT_EQ(vtk[1], "velk-background-line result: background bg line");
  EXPECT_EQ(vtk[2], "ASCII");
  expect_vtk_matches(read_file(work / "r.vtk"), read_json(work / "result.json"));
  EXPECT_NE(std::find(vtk.begin(), vtk.end(),
                      "SCALARS <&>%22'%20%C3%BC%20%01%20tab%09line%0Aend%20%EF%BF%BF int 1"),
            vtk.end());
}

// Builds a background of 2000 unit edges and three curves of 1500 points each, scattered
// by a fixed linear congruential generator; prints the seed on failure.
TEST(ToolOutputs, SvgOfThousandsOfEdgesStaysLegibleAndBounded) {
  std::uint64_t const seed = 20240607;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::uint64_t state = seed;
  auto const next = [&state]() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53);
  };
  json points = json::array();
  for (int x = 0; x <= 2000; ++x) points.push_back(x);
  json curves = json::array();
  for (int c = 0; c < 3; ++c) {
    std::vector<double> xs;
    for (int i = 0; i < 1500; ++i) xs.push_back(next() * 2000);
    std::sort(xs.begin(), xs.end());
    curves.push_back({{"name", "horizon-" + std::to_string(c)}, {"points", xs}});
  }
  ScratchDirectory work;
  write_file(work / "in.json",
             json{{"background", {{"points", points}}}, {"curves", curves}}.dump());
  auto const run = run_tool({"insert", "in.json", "--svg", "dense.svg", "-q"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  expect_well_formed_svg(work, "dense.svg");
  auto const svg = read_file(work / "dense.svg");
  // Thousands of edges, but marks are merged below a pixel: the picture stays small.
  EXPECT_LT(svg.size(), 1500000U);
  EXPECT_LT(count_of(svg, "<rect"), 4000U);
  // Labels are thinned so that none overlaps the next, even with generous glyph widths.
  auto const coordinates = labels_at(svg, "80");
  auto const indices = labels_at(svg, "122");
  EXPECT_GE(coordinates.size(), 10U);
  EXPECT_GE(indices.size(), 10U);
  expect_no_overlap(coordinates, 11, 0.6);
  expect_no_overlap(indices, 10, 0.6);
  // Both ends of the axis keep their coordinate.
  EXPECT_EQ(coordinates.back().text, "2000");
}

TEST(ToolOutputs, XmlCheckRejectsMalformedDocuments) {
  EXPECT_EQ(xml_fault("<svg><text a=\"1\">x &amp; y</text></svg>"), "");
  EXPECT_NE(xml_fault("<svg><text>x & y</text></svg>"), "");
  EXPECT_NE(xml_fault("<svg><text>x</svg>"), "");
  EXPECT_NE(xml_fault("<svg a=\"1\" a=\"2\"/>"), "");
  EXPECT_NE(xml_fault("<svg a=1/>"), "");
  EXPECT_NE(xml_fault("<svg/><svg/>"), "");
  EXPECT_NE(xml_fault("<svg>\x01</svg>"), "");
}

}  // namespace
