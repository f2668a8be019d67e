// End-to-end tests of `velk-background-line insert` on inputs a new user produces: curves
// outside the background (--keep-going), data in small units (--tolerance), and shapes of
// input that deserve a warning.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tool_runner.hpp"

namespace {

using nlohmann::json;
using velk::tool_test::lines_of;
using velk::tool_test::read_json;
using velk::tool_test::run_tool;
using velk::tool_test::ScratchDirectory;
using velk::tool_test::write_file;

TEST(ToolHardInputs, KeepGoingLeavesOutTheCurvesThatWouldFail) {
  ScratchDirectory work;
  write_file(work / "in.json", R"({"background": {"points": [0, 1, 2]}, "curves": [
      {"name": "A", "points": [0.5, 1.5]},
      {"name": "B", "points": [1.5, 0.25, 7]},
      {"name": "C", "points": [-1e-9, 2.00000001]}]})");
  auto const run = run_tool(
      {"insert", "in.json", "--keep-going", "--log-level", "warn", "--summary"}, work.path());
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.err,
            "[warn] curve \"B\" (curves[1]) left out: point 2 at x = 7 lies on no background "
            "edge\n");
  auto const result = read_json(work / "result.json");
  ASSERT_EQ(result["curves"].size(), 2U);
  EXPECT_EQ(result["curves"][0]["name"], "A");
  // Within the tolerance of the background's ends is on it.
  EXPECT_EQ(result["curves"][1]["name"], "C");
  EXPECT_EQ(result["skipped"], json::parse(R"([{"curve": "B", "index": 1,
                             "reason": "point 2 at x = 7 lies on no background edge"}])"));
  auto const summary = lines_of(run.out);
  ASSERT_GE(summary.size(), 3U);
  EXPECT_EQ(summary[summary.size() - 3], "Curves left out");
  EXPECT_EQ(summary.back(), "  B      point 2 at x = 7 lies on no background edge");

  // Nothing to leave out: exit 0 and an empty list.
  write_file(work / "in.json", R"({"background": {"points": [0, 1]}, "curves": []})");
  auto const clean = run_tool({"insert", "in.json", "--keep-going", "-q"}, work.path());
  EXPECT_EQ(clean.exit_code, 0);
  EXPECT_EQ(read_json(work / "result.json")["skipped"], json::array());
}

// A curve left out and also named in "remove" was never inserted: nothing to remove, a
// warning, and it is listed as skipped only; the other names are removed as usual.
TEST(ToolHardInputs, KeepGoingWithARemovedCurveThatWasLeftOut) {
  ScratchDirectory work;
  write_file(work / "in.json", R"({"background": {"points": [0, 1, 2]}, "curves": [
      {"name": "A", "points": [0.5, 1.5]},
      {"name": "B", "points": [1.5, 7]},
      {"name": "C", "points": [0.25, 1.75]}], "remove": ["B", "C"]})");
  auto const run =
      run_tool({"insert", "in.json", "--keep-going", "--log-level", "warn"}, work.path());
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(lines_of(run.err),
            (std::vector<std::string>{
                "[warn] curve \"B\" (curves[1]) left out: point 1 at x = 7 lies on no "
                "background edge",
                "[warn] curve \"B\" (curves[1]), named by remove[0], was left out: nothing to "
                "remove"}));
  auto const result = read_json(work / "result.json");
  ASSERT_EQ(result["curves"].size(), 2U);
  EXPECT_EQ(result["curves"][0]["name"], "A");
  EXPECT_FALSE(result["curves"][0].contains("removed"));
  EXPECT_EQ(result["curves"][1]["name"], "C");
  EXPECT_EQ(result["curves"][1]["removed"],
            json::parse(R"({"macro_vertices_removed": 2, "macro_elements_removed": 4,
                            "vertices_merged": 2})"));
  EXPECT_EQ(result["curves"][1]["paths"], json::array());
  EXPECT_EQ(result["skipped"], json::parse(R"([{"curve": "B", "index": 1,
                             "reason": "point 1 at x = 7 lies on no background edge"}])"));
  // Only A is left on the line.
  for (auto const& edge : result["background"]["edges"]) {
    for (auto const& macro : edge["macro_elements"]) EXPECT_EQ(macro["curve"], "A");
  }
}

// A background of one micrometre with points nanometres apart: at the default tolerance of
// 1e-8 they snap together, with a warning; with --tolerance 1e-12 each gets a background
// vertex of its own, at exactly the coordinate given.
TEST(ToolHardInputs, ToleranceIsTheSnappingDistanceInTheInputUnits) {
  ScratchDirectory work;
  write_file(work / "in.json", R"({"background": {"points": [0, 1e-6]},
      "curves": [{"name": "um", "points": [1e-9, 5e-9, 2e-8, 5e-7]}]})");
  auto const coarse = run_tool({"insert", "in.json", "--log-level", "warn"}, work.path());
  EXPECT_EQ(coarse.exit_code, 0);
  EXPECT_EQ(lines_of(coarse.err),
            (std::vector<std::string>{
                "[warn] 1 input edge of zero length (both ends on one background vertex), e.g. "
                "edge 0 of curve \"um\" (curves[0]), from 1e-09 to 5e-09, on background vertex 0",
                "[warn] 1 background vertex carrying input points given at different coordinates "
                "(snapped together), e.g. background vertex 0 (x = 0) carries vertex 0 of \"um\" "
                "(x = 1e-09) and vertex 1 of \"um\" (x = 5e-09)"}));

  auto const fine = run_tool({"insert", "in.json", "--tolerance", "1e-12"}, work.path());
  EXPECT_EQ(fine.exit_code, 0) << fine.err;
  EXPECT_EQ(lines_of(fine.err).at(1),
            "[info] tolerance 1e-12: points within 6.103515625e-13 of each other snap together "
            "(coordinates scaled by 2^14 inside the library)");
  EXPECT_EQ(fine.err.find("[warn]"), std::string::npos) << fine.err;
  auto const result = read_json(work / "result.json");
  std::vector<double> const points{1e-9, 5e-9, 2e-8, 5e-7};
  std::set<int> carriers;
  for (auto const& vertex : result["background"]["vertices"]) {
    for (auto const& macro : vertex["macro_vertices"]) {
      EXPECT_EQ(vertex["x"].get<double>(), points.at(macro["vertex"].get<std::size_t>()));
      carriers.insert(vertex["index"].get<int>());
    }
  }
  EXPECT_EQ(carriers.size(), 4U);
  for (auto const& path : result["curves"][0]["paths"]) {
    EXPECT_NE(path["vertices"][0], path["vertices"][1]);
    EXPECT_EQ(path["path"].size(), 1U);
  }
}

TEST(ToolHardInputs, ToleranceThatScalingCannotHonourIsRefused) {
  ScratchDirectory work;
  write_file(work / "big.json", R"({"background": {"points": [0, 1e30]}, "curves": []})");
  write_file(work / "tiny.json", R"({"background": {"points": [1e-300, 1]}, "curves": []})");
  struct Refusal {
    std::vector<std::string> arguments;
    std::string message;
  };
  std::vector<Refusal> const refusals{
      {{"big.json", "--tolerance", "0"}, "--tolerance 0: the tolerance must be a positive number"},
      {{"big.json", "--tolerance", "-1e-6"},
       "--tolerance -1e-06: the tolerance must be a positive number"},
      {{"big.json", "--tolerance", "1e-300"},
       "big.json: background: points[1] = 1e+30 would overflow once scaled by 2^971 for "
       "--tolerance 1e-300; choose a larger tolerance or rescale the data"},
      {{"tiny.json", "--tolerance", "1e10"},
       "tiny.json: background: points[0] = 1e-300 would become too small to compute with once "
       "scaled by 2^-59 for --tolerance 1e+10; choose a smaller tolerance or rescale the data"},
  };
  for (auto const& refusal : refusals) {
    SCOPED_TRACE(refusal.message);
    std::vector<std::string> arguments{"insert", "-q"};
    arguments.insert(arguments.end(), refusal.arguments.begin(), refusal.arguments.end());
    auto const run = run_tool(arguments, work.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "velk-background-line: " + refusal.message + "\n");
  }
  EXPECT_EQ(work.entries(), (std::vector<std::string>{"big.json", "tiny.json"}));
}

// Each suspicious shape of input gets one warning line with a count and the first example;
// the insertion goes on and exits with 0.
TEST(ToolHardInputs, SuspiciousInputIsNamedInOneWarningLineEach) {
  struct Case {
    char const* input;
    std::vector<std::string> warnings;
  };
  std::vector<Case> const cases{
      {R"({"background": {"points": [0, 40, 10, 30, 20]}, "curves": []})",
       {"[warn] background: 4 edges overlap other background edges, e.g. edge 0 (0 to 40) "
        "overlaps edge 1 (40 to 10); is the background sorted? (without \"edges\", its points "
        "are joined in file order)"}},
      {R"({"background": {"points": [0, 0, 1]}, "curves": []})",
       {"[warn] background: 1 edge of zero length (ends within 1e-08 of each other), e.g. edge "
        "0 (0 to 0)"}},
      {R"({"background": {"points": [0, 1]},
           "curves": [{"name": "a", "points": [0.5]}, {"name": "b", "points": [0.25]}]})",
       {"[warn] 2 input curves without edges, of which nothing is inserted, e.g. curve \"a\" "
        "(curves[0]) with 1 point"}},
      {R"({"background": {"points": [0, 1]},
           "curves": [{"name": "a", "points": [0.5, 0.500000001, 0.75]}]})",
       {"[warn] 1 input edge of zero length (both ends on one background vertex), e.g. edge 0 "
        "of curve \"a\" (curves[0]), from 0.5 to 0.500000001, on background vertex 2",
        "[warn] 1 background vertex carrying input points given at different coordinates "
        "(snapped together), e.g. background vertex 2 (x = 0.5) carries vertex 0 of \"a\" (x = "
        "0.5) and vertex 1 of \"a\" (x = 0.500000001)"}},
      // Touching edges, a vertex reached twice and points given twice are no warning.
      {R"({"background": {"points": [0, 1, 2]},
           "curves": [{"name": "a", "points": [0.5, 1, 1.5]}, {"name": "b", "points": [1, 2]}]})",
       {}},
  };
  for (auto const& test : cases) {
    SCOPED_TRACE(test.input);
    ScratchDirectory work;
    write_file(work / "in.json", test.input);
    auto const run = run_tool({"insert", "in.json", "--log-level", "warn"}, work.path());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(lines_of(run.err), test.warnings);
  }
}

}  // namespace
