// End-to-end tests of `velk-background-line insert`: known results of small inputs, the
// summary and the log options.
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tool_runner.hpp"

namespace {

using nlohmann::json;
using velk::tool_test::lines_of;
using velk::tool_test::read_file;
using velk::tool_test::read_json;
using velk::tool_test::run_tool;
using velk::tool_test::ScratchDirectory;
using velk::tool_test::write_file;

std::string case_file(std::string const& name) { return std::string{VELK_TOOL_CASES} + "/" + name; }

// Runs `insert` on an input file with --quiet and returns the result document.
json insert_quietly(std::string const& input, ScratchDirectory const& work) {
  auto const run = run_tool({"insert", input, "-o", "result.json", "--quiet"}, work.path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return read_json(work / "result.json");
}

TEST(ToolInsert, ExampleFileGivesKnownResult) {
  ScratchDirectory work;
  auto const result = insert_quietly(std::string{VELK_EXAMPLES_DIR} + "/two_wells.json", work);
  EXPECT_EQ(result, read_json(case_file("two_wells.expected.json")));
  // Nothing but the result is left in the directory: no temporary file.
  EXPECT_EQ(work.entries(), std::vector<std::string>{"result.json"});
}

TEST(ToolInsert, SmallCasesGiveKnownResults) {
  // An edge across two background parts that only touch (its walk stops), an edge whose two
  // ends snap onto one vertex, an edge inserted twice through an `insert` list, and a curve
  // removed after the insertions (the vertices only it needed are merged back).
  for (std::string const name :
       {"walk_stopped", "snapped_onto_one_vertex", "repeated_insert", "removed_curve"}) {
    SCOPED_TRACE(name);
    ScratchDirectory work;
    auto const result = insert_quietly(case_file(name + ".json"), work);
    EXPECT_EQ(result, read_json(case_file(name + ".expected.json")));
  }
}

TEST(ToolInsert, StoppedWalkIsLoggedAsWarning) {
  ScratchDirectory work;
  auto const run =
      run_tool({"insert", case_file("walk_stopped.json"), "--log-level", "warn"}, work.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(lines_of(run.err),
            std::vector<std::string>{
                "[warn] [BackgroundLineInserter::insert_curve] walk of input edge 0 of curve cross "
                "from background vertex 4 along edge 3 stopped at background vertex 1 without "
                "reaching background vertex 5; its edges were not tagged"});
}

// Background 0, 1, ..., 1100; "long" from 0.5 to 1050.5 runs over 1051 background edges,
// more than the library's default path query follows, "medium" from 2 to 502 over 500: the
// tool asks for every chain with a limit no walk can reach, so both come back whole.
TEST(ToolInsert, ChainsOfAnyLengthComeBackWhole) {
  ScratchDirectory work;
  json points = json::array();
  for (int x = 0; x <= 1100; ++x) points.push_back(x);
  json const input{{"background", {{"points", points}}},
                   {"curves",
                    {{{"name", "long"}, {"points", {0.5, 1050.5}}},
                     {{"name", "medium"}, {"points", {2, 502}}}}}};
  write_file(work / "in.json", input.dump());
  auto const run = run_tool({"insert", "in.json", "--log-level", "warn"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  auto const result = read_json(work / "result.json");
  // Cleaning drops the two split edges 0 and 1050, so edge i + 1 of the input background
  // is edge i now, and the halves of the split edges that carry "long" are 1099 and 1100.
  json long_chain = json::array({1099});
  for (int edge = 0; edge <= 1048; ++edge) long_chain.push_back(edge);
  long_chain.push_back(1100);
  auto const& long_path = result["curves"][0]["paths"][0];
  EXPECT_EQ(long_path["vertices"], json({1101, 1102}));
  EXPECT_EQ(long_path["path"], long_chain);
  EXPECT_FALSE(long_path.contains("error"));
  json chain = json::array();
  for (int edge = 1; edge <= 500; ++edge) chain.push_back(edge);
  auto const& medium_path = result["curves"][1]["paths"][0];
  EXPECT_EQ(medium_path["vertices"], json({2, 502}));
  EXPECT_EQ(medium_path["path"], chain);
}

TEST(ToolInsert, SummaryListsVerticesEdgesAndChains) {
  ScratchDirectory work;
  auto const run =
      run_tool({"insert", std::string{VELK_EXAMPLES_DIR} + "/two_wells.json", "--summary", "-q"},
               work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Background \"section\" after inserting 2 curves: 10 vertices, 9 edges\n"
            "\n"
            "Background vertices, by position\n"
            "  vertex  x     origin      input vertices (input x when it differs)\n"
            "  0       0     background  -\n"
            "  5       5     split       well-1:0\n"
            "  2       10    background  -\n"
            "  9       12.5  split       well-2:0\n"
            "  4       20    background  well-1:1 (2 times)\n"
            "  7       27.5  split       well-2:1 (2 times)\n"
            "  3       30    background  -\n"
            "  6       35    split       well-1:2\n"
            "  8       38    split       well-2:2\n"
            "  1       40    background  -\n"
            "\n"
            "Background edges, by position\n"
            "  edge  vertices  interval    carries input edges\n"
            "  0     0 -> 5    [0, 5]      -\n"
            "  1     5 -> 2    [5, 10]     well-1:0\n"
            "  7     2 -> 9    [10, 12.5]  well-1:0\n"
            "  8     9 -> 4    [12.5, 20]  well-1:0, well-2:0\n"
            "  3     4 -> 7    [20, 27.5]  well-1:1, well-2:0\n"
            "  4     7 -> 3    [27.5, 30]  well-1:1, well-2:1\n"
            "  2     3 -> 6    [30, 35]    well-1:1, well-2:1\n"
            "  5     6 -> 8    [35, 38]    well-2:1\n"
            "  6     8 -> 1    [38, 40]    -\n"
            "\n"
            "Inserted input edges\n"
            "  input edge  from -> to    status    background vertices  chain of background edges\n"
            "  well-1:0    5 -> 20       inserted  5 -> 4               1, 7, 8\n"
            "  well-1:1    20 -> 35      inserted  4 -> 6               3, 4, 2\n"
            "  well-2:1    27.5 -> 38    inserted  7 -> 8               4, 2, 5\n"
            "  well-2:0    12.5 -> 27.5  inserted  9 -> 7               8, 3\n");
}

// A removed curve: counted in the first line, absent from the chains (it carries nothing),
// and listed with the counts of its removal. The rest agrees with
// cases/removed_curve.expected.json.
TEST(ToolInsert, SummaryListsRemovedCurvesApart) {
  ScratchDirectory work;
  auto const run =
      run_tool({"insert", case_file("removed_curve.json"), "--summary", "-q"}, work.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Background \"line\" after inserting 2 curves and removing 1: 5 vertices, 4 edges\n"
            "\n"
            "Background vertices, by position\n"
            "  vertex  x   origin      input vertices (input x when it differs)\n"
            "  0       0   background  -\n"
            "  3       2   split       kept:0\n"
            "  1       10  background  -\n"
            "  4       12  split       kept:1\n"
            "  2       20  background  -\n"
            "\n"
            "Background edges, by position\n"
            "  edge  vertices  interval  carries input edges\n"
            "  0     0 -> 3    [0, 2]    -\n"
            "  2     3 -> 1    [2, 10]   kept:0\n"
            "  1     1 -> 4    [10, 12]  kept:0\n"
            "  3     4 -> 2    [12, 20]  -\n"
            "\n"
            "Inserted input edges\n"
            "  input edge  from -> to  status    background vertices  chain of background edges\n"
            "  kept:0      2 -> 12     inserted  3 -> 4               2, 1\n"
            "\n"
            "Curves removed after the insertions\n"
            "  curve  macro vertices removed  macro elements removed  vertices merged\n"
            "  gone   4                       4                       3\n");
}

TEST(ToolInsert, ProgressGoesToStderrUnlessQuiet) {
  ScratchDirectory work;
  auto const input = std::string{VELK_EXAMPLES_DIR} + "/two_wells.json";
  auto const shown = run_tool({"insert", input}, work.path());
  ASSERT_EQ(shown.exit_code, 0);
  EXPECT_EQ(shown.out, "");
  auto const lines = lines_of(shown.err);
  ASSERT_EQ(lines.size(), 8U) << shown.err;
  EXPECT_EQ(lines[0],
            "[info] read " + input + ": background \"section\" with 4 edges, 2 input curves");
  EXPECT_EQ(lines[1].rfind("[info] Insertion of curve well-1 (", 0), 0U) << lines[1];
  EXPECT_NE(lines[1].find("): started (2 steps)"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("): completed 2/2 in "), std::string::npos) << lines[2];
  EXPECT_EQ(lines[3].rfind("[info] Insertion of curve well-2 (", 0), 0U) << lines[3];
  EXPECT_EQ(lines[5],
            "[info] inserted 2 curves: background of 10 vertices and 9 edges carrying 11 input "
            "edges in all (macro lists 1.1 KiB)");
  EXPECT_EQ(lines[6],
            "[info] paths: 4 inserted input edges, each with a chain of background edges");
  EXPECT_EQ(lines[7], "[info] wrote result.json");

  auto const quiet = run_tool({"insert", input, "--quiet"}, work.path());
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");

  auto const off = run_tool({"insert", input, "--log-level", "off"}, work.path());
  EXPECT_EQ(off.err, "");
}

TEST(ToolInsert, DebugLevelShowsTheLibraryPlacementLines) {
  ScratchDirectory work;
  auto const run =
      run_tool({"insert", case_file("repeated_insert.json"), "--log-level", "debug"}, work.path());
  ASSERT_EQ(run.exit_code, 0);
  std::size_t debug_lines = 0;
  for (auto const& line : lines_of(run.err)) debug_lines += line.rfind("[debug] ", 0) == 0 ? 1 : 0;
  // Each of the two insertions of the edge writes two lines, then eight per end vertex.
  EXPECT_EQ(debug_lines, 36U) << run.err;
  EXPECT_NE(run.err.find("[debug] point = 0.5\n[debug] \"split\" = split\n"), std::string::npos);
  // At the default level none shows.
  auto const info = run_tool({"insert", case_file("repeated_insert.json")}, work.path());
  EXPECT_EQ(info.err.find("[debug]"), std::string::npos);
}

TEST(ToolInsert, RewritesAnExistingResultWhole) {
  ScratchDirectory work;
  write_file(work / "result.json", std::string(100000, 'x'));
  auto const result = insert_quietly(case_file("repeated_insert.json"), work);
  EXPECT_EQ(result, read_json(case_file("repeated_insert.expected.json")));
}

// An output that is a pipe (or a device such as /dev/null) is written where it is, not
// replaced by a file renamed over it.
TEST(ToolInsert, WritesIntoAPipeWhereItIs) {
  ScratchDirectory work;
  ASSERT_EQ(::mkfifo((work / "pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader{[&received, &work]() { received = read_file(work / "pipe"); }};
  auto const run = run_tool(
      {"insert", std::string{VELK_EXAMPLES_DIR} + "/two_wells.json", "--vtk", "pipe", "-q"},
      work.path());
  reader.join();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(received.rfind("# vtk DataFile Version 3.0\n", 0), 0U) << received;
  struct stat status {};
  ASSERT_EQ(::stat((work / "pipe").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  EXPECT_EQ(work.entries(), (std::vector<std::string>{"pipe", "result.json"}));
}

// A run killed outright while writing (as the kernel kills a process out of memory) leaves
// no file behind, not even a temporary: the JSON is written first, then the tool blocks
// opening a pipe nobody reads, with the JSON's temporary open; it is killed there.
TEST(ToolInsert, KilledRunLeavesNoFile) {
  ScratchDirectory work;
  // Where the file system cannot make unnamed files, the tool falls back on named
  // temporaries, which only a catchable signal lets it remove.
  auto const unnamed = ::open(work.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed < 0) GTEST_SKIP() << "no O_TMPFILE on " << work.path();
  ::close(unnamed);
  ASSERT_EQ(::mkfifo((work / "pipe").c_str(), 0600), 0);
  std::string const input = std::string{VELK_EXAMPLES_DIR} + "/two_wells.json";
  std::vector<std::string> words{VELK_TOOL_PATH, "insert", input, "--vtk", "pipe", "-q"};
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  auto const child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(work.path().c_str()) != 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  // Waits until the child holds a file of the scratch directory open: the JSON's temporary.
  auto const holds_a_temporary = [&]() {
    std::error_code error;
    auto const descriptors = std::filesystem::path{"/proc"} / std::to_string(child) / "fd";
    for (auto const& entry : std::filesystem::directory_iterator{descriptors, error}) {
      auto const target = std::filesystem::read_symlink(entry.path(), error).string();
      if (!error && target.rfind(work.path().string() + "/", 0) == 0) return true;
    }
    return false;
  };
  auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds{60};
  while (!holds_a_temporary() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds{10});
  }
  EXPECT_TRUE(holds_a_temporary());
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(work.entries(), std::vector<std::string>{"pipe"});
}

}  // namespace
