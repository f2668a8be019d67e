// End-to-end tests of the tool's refusals: each bad input or argument gives one line on
// stderr naming the file, the curve and the offending value, the documented exit code, and
// no output file, whole or partial.
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tool_runner.hpp"

namespace {

using velk::tool_test::read_file;
using velk::tool_test::run_tool;
using velk::tool_test::ScratchDirectory;
using velk::tool_test::write_file;

struct BadInput {
  char const* what;
  std::string content;
  int exit_code;
  std::string message;  // after "velk-background-line: in.json: "
};

// A valid background of two unit edges, to put curves on.
std::string with_curves(std::string const& curves) {
  return R"({"background": {"name": "bg", "points": [0, 1, 2]}, "curves": )" + curves + "}";
}

// Runs `insert in.json --quiet` writing all three outputs into the empty directory "out":
// the error line is then all that stderr holds.
void expect_refused(BadInput const& bad) {
  SCOPED_TRACE(bad.what);
  ScratchDirectory work;
  write_file(work / "in.json", bad.content);
  std::filesystem::create_directory(work / "out");
  auto const run = run_tool({"insert", "in.json", "-o", "out/result.json", "--vtk",
                             "out/result.vtk", "--svg", "out/result.svg", "--quiet"},
                            work.path());
  EXPECT_EQ(run.exit_code, bad.exit_code);
  EXPECT_EQ(run.err, "velk-background-line: in.json: " + bad.message + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(velk::tool_test::entries_of(work / "out").empty());
}

TEST(ToolBadInput, UnusableInputExitsWithTwo) {
  std::vector<BadInput> const cases{
      {"invalid JSON", "{\"background\": {\"points\": [0, 1]},\n \"curves\": [}", 2,
       "invalid JSON: parse error at line 2, column 13: syntax error while parsing value - "
       "unexpected '}'; expected '[', '{', or a literal"},
      {"empty file", " \n", 2, "the file is empty"},
      {"top level not an object", "[1, 2]", 2, "the top level must be an object, not an array"},
      {"missing background", R"({"curves": []})", 2, "missing field \"background\""},
      {"missing curves", R"({"background": {"points": [0, 1]}})", 2, "missing field \"curves\""},
      {"unknown top-level field", R"({"background": {"points": [0, 1]}, "curves": [], "x": 1})", 2,
       "unknown field \"x\""},
      {"curves not an array", R"({"background": {"points": [0, 1]}, "curves": {}})", 2,
       "field \"curves\" must be an array, not an object"},
      {"background points missing", R"({"background": {"name": "bg"}, "curves": []})", 2,
       "background: missing field \"points\""},
      {"background point mistyped", R"({"background": {"points": [0, "1"]}, "curves": []})", 2,
       "background: points[1] must be a number, not a string (\"1\")"},
      {"background insert list",
       R"({"background": {"points": [0, 1], "insert": [0]}, "curves": []})", 2,
       "background: unknown field \"insert\""},
      {"empty background", R"({"background": {"points": []}, "curves": []})", 2,
       "background: the background is empty (0 points, 0 edges); it needs at least one edge"},
      {"background without edges",
       R"({"background": {"points": [0, 1], "edges": []}, "curves": []})", 2,
       "background: the background is empty (2 points, 0 edges); it needs at least one edge"},
      {"infinite background point", R"({"background": {"points": [0, -1e400]}, "curves": []})", 2,
       "background: points[1] is not a finite number (-1e400)"},
      {"background edge to a missing point",
       R"({"background": {"points": [0, 1], "edges": [[0, 2]]}, "curves": []})", 2,
       "background: edges[0][1] names point 2, but there are 2 points"},
      {"curve not an object", with_curves("[7]"), 2,
       "curves[0]: must be an object, not a number (7)"},
      {"curve without name", with_curves(R"([{"points": [0.5, 1.5]}])"), 2,
       "curves[0]: missing field \"name\""},
      {"curve name mistyped", with_curves(R"([{"name": 3, "points": [0.5]}])"), 2,
       "curves[0]: field \"name\" must be a string, not a number (3)"},
      {"empty curve name", with_curves(R"([{"name": "", "points": [0.5]}])"), 2,
       "curves[0]: the name must not be empty"},
      {"duplicate curve name",
       with_curves(R"([{"name": "A", "points": [0.5]}, {"name": "A", "points": [1.5]}])"), 2,
       "curves[1]: the name \"A\" is already used by curves[0]"},
      {"unknown curve field", with_curves(R"([{"name": "A", "points": [0.5], "insrt": [0]}])"), 2,
       "curve \"A\" (curves[0]): unknown field \"insrt\""},
      {"points not an array", with_curves(R"([{"name": "A", "points": 0.5}])"), 2,
       "curve \"A\" (curves[0]): field \"points\" must be an array of numbers, not a number (0.5)"},
      {"point is null", with_curves(R"([{"name": "A", "points": [0.5, null]}])"), 2,
       "curve \"A\" (curves[0]): points[1] must be a number, not null"},
      {"infinite curve point", with_curves(R"([{"name": "A", "points": [0.5, 1e999]}])"), 2,
       "curve \"A\" (curves[0]): points[1] is not a finite number (1e999)"},
      {"infinite point before the name", with_curves(R"([{"points": [1e999], "name": "A"}])"), 2,
       "curves[0]: points[0] is not a finite number (1e999)"},
      {"edge not a pair", with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[0]]}])"),
       2,
       "curve \"A\" (curves[0]): edges[0] must be an array of two point indices, not an array of "
       "1"},
      {"edge to a missing point",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[0, 5]]}])"), 2,
       "curve \"A\" (curves[0]): edges[0][1] names point 5, but there are 2 points"},
      {"edge index beyond 32 bits",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[4294967296, 1]]}])"), 2,
       "curve \"A\" (curves[0]): edges[0][0] names point 4294967296, but there are 2 points"},
      {"negative point index",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[0, -1]]}])"), 2,
       "curve \"A\" (curves[0]): edges[0][1] must be a non-negative integer, not a number (-1)"},
      {"fractional point index",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[0, 1.0]]}])"), 2,
       "curve \"A\" (curves[0]): edges[0][1] must be a non-negative integer, not a number (1.0)"},
      {"edge joining a point to itself",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "edges": [[1, 1]]}])"), 2,
       "curve \"A\" (curves[0]): edges[0] joins point 1 to itself"},
      {"remove not an array", R"({"background": {"points": [0, 1]}, "curves": [], "remove": "A"})",
       2, "field \"remove\" must be an array of curve names, not a string (\"A\")"},
      {"remove names no curve",
       R"({"background": {"points": [0, 1]}, "curves": [{"name": "A", "points": [0.5]}],
           "remove": ["A", "B"]})",
       2, "remove[1]: no curve is named \"B\""},
      {"remove entry not a string",
       R"({"background": {"points": [0, 1]}, "curves": [{"name": "A", "points": [0.5]}],
           "remove": ["A", 7]})",
       2, "remove[1] must be a curve name, not a number (7)"},
      {"remove lists a curve twice",
       R"({"background": {"points": [0, 1]}, "curves": [{"name": "A", "points": [0.5]}],
           "remove": ["A", "A"]})",
       2, "remove[1]: the curve \"A\" is already removed by remove[0]"},
      {"insert not an array", with_curves(R"([{"name": "A", "points": [0.5, 1.5], "insert": 0}])"),
       2,
       "curve \"A\" (curves[0]): field \"insert\" must be an array of edge indices, not a number "
       "(0)"},
      {"insert index out of range",
       with_curves(R"([{"name": "A", "points": [0.5, 1.5], "insert": [0, 1]}])"), 2,
       "curve \"A\" (curves[0]): insert[1] names edge 1, but there is 1 edge"},
      {"name with a line break", with_curves(R"([{"name": "A\nB", "points": [0.5], "x": 1}])"), 2,
       "curve \"A\\nB\" (curves[0]): unknown field \"x\""},
  };
  for (auto const& bad : cases) expect_refused(bad);
}

TEST(ToolBadInput, PointOutsideBackgroundFailsInsertionWithOne) {
  expect_refused(
      {"point outside", with_curves(R"([{"name": "A", "points": [0.5, 1.5]},
                                                  {"name": "B", "points": [1.5, 0.25, 7]}])"),
       1,
       "curve \"B\" (curves[1]): insertion failed: [BackgroundLineSession::insert_curve] "
       "curve \"B\": point 2 (7) lies on no background edge; nothing was inserted"});
}

TEST(ToolBadInput, ErrorLineFollowsTheProgressLines) {
  ScratchDirectory work;
  write_file(work / "in.json", with_curves(R"([{"name": "A", "points": [0.5, -3]}])"));
  auto const run = run_tool({"insert", "in.json"}, work.path());
  EXPECT_EQ(run.exit_code, 1);
  auto const lines = velk::tool_test::lines_of(run.err);
  ASSERT_EQ(lines.size(), 4U) << run.err;
  EXPECT_EQ(lines[0], "[info] read in.json: background \"bg\" with 2 edges, 1 input curve");
  EXPECT_NE(lines[2].find("interrupted at 0/1 after"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[3],
            "velk-background-line: in.json: curve \"A\" (curves[0]): insertion failed: "
            "[BackgroundLineSession::insert_curve] curve \"A\": point 1 (-3) lies on no "
            "background edge; nothing was inserted");
}

TEST(ToolBadInput, FailureLeavesAnExistingResultUntouched) {
  ScratchDirectory work;
  write_file(work / "in.json", with_curves(R"([{"name": "A", "points": [0.5, -3]}])"));
  write_file(work / "result.json", "previous result");
  auto const run = run_tool({"insert", "in.json", "--quiet"}, work.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(read_file(work / "result.json"), "previous result");
  EXPECT_EQ(work.entries(), (std::vector<std::string>{"in.json", "result.json"}));
}

TEST(ToolBadInput, UnreadableFilesExitWithTwo) {
  ScratchDirectory work;
  std::filesystem::create_directory(work / "folder");
  auto missing = run_tool({"insert", "missing.json"}, work.path());
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(
      missing.err,
      "velk-background-line: missing.json: cannot read the file: No such file or directory\n");
  auto folder = run_tool({"insert", "folder"}, work.path());
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_EQ(folder.err, "velk-background-line: folder: cannot read the file: it is a directory\n");
  EXPECT_EQ(work.entries(), std::vector<std::string>{"folder"});
}

TEST(ToolBadInput, BadArgumentsExitWithTwo) {
  ScratchDirectory work;
  write_file(work / "in.json", with_curves("[]"));
  struct BadArguments {
    std::vector<std::string> arguments;
    std::string message;
  };
  std::vector<BadArguments> const cases{
      {{}, "A subcommand is required (run with --help for usage)"},
      {{"merge", "in.json"}, "unknown command \"merge\" (commands: demo, insert, overlay)"},
      {{"insert"}, "input is required (run with --help for usage)"},
      {{"insert", "in.json", "--log-level", "loud"},
       "--log-level: loud not in {critical,debug,err,info,off,trace,warn} (run with --help for "
       "usage)"},
      {{"insert", "in.json", "-o", "no/such/dir/result.json"},
       "no/such/dir/result.json: cannot write the output: directory no/such/dir does not exist"},
      {{"insert", "in.json", "-o", "."}, ".: cannot write the output: it is a directory"},
      {{"insert", "in.json", "-o", "same", "--svg", "./same"},
       "./same: the same file is named for two outputs (same)"},
  };
  for (auto const& bad : cases) {
    SCOPED_TRACE(bad.message);
    auto const run = run_tool(bad.arguments, work.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "velk-background-line: " + bad.message + "\n");
  }
  EXPECT_EQ(work.entries(), std::vector<std::string>{"in.json"});
}

TEST(ToolBadInput, DemoRefusesAnOutputPathThatIsAFile) {
  ScratchDirectory work;
  write_file(work / "taken", "a file");
  auto const run = run_tool({"demo", "--out", "taken"}, work.path());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err.rfind("velk-background-line: taken: cannot create the output directory", 0), 0U)
      << run.err;
  EXPECT_EQ(read_file(work / "taken"), "a file");
}

// The cases of placement at the tolerance's edge, real-valued and header-like tables,
// outputs naming inputs, write errors on standard output and oversized lines: each gives
// the documented exit code and line, and leaves every input as it was. Commands run through
// the shell (for standard input and /dev/full); TOOL is the tool's path.
TEST(ToolBadInput, EdgeCasesGiveTheDocumentedExitCodeAndLine) {
  struct Case {
    char const* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::string command;
    int exit_code;
    std::string out;
    std::string err;
  };
  auto const json = [](char const* background, char const* a, char const* b) {
    return std::string{R"({"background": {"points": )"} + background +
           R"(}, "curves": [{"name": "a", "points": )" + a +
           (b == nullptr ? std::string{} : std::string{R"(}, {"name": "b", "points": )"} + b) +
           "}]}";
  };
  // The table of chains of `insert --summary`, and the tool's exit code.
  auto const chains = [](std::string const& input) {
    return "TOOL insert " + input +
           " -o r.json -q --summary > s.txt; code=$?; sed -n '/^Inserted input edges/,$p' s.txt; "
           "exit $code";
  };
  std::string const table_header =
      "Inserted input edges\n"
      "  input edge  from -> to         status    background vertices  chain of background "
      "edges\n";
  std::string const full =
      "velk-background-line: cannot write to standard output: No space "
      "left on device\n";
  std::vector<Case> const cases{
      {"a point 1e-8 from a vertex splits the edge that holds it",
       {{"in.json", json("[0, 100]", "[22.00000001, 30]", "[22.00000002, 24]")}},
       chains("in.json"),
       0,
       table_header + "  a:0         22.00000001 -> 30  inserted  2 -> 3               2, 3, 4\n"
                      "  b:0         22.00000002 -> 24  inserted  4 -> 5               3\n",
       ""},
      {"a point exactly on a vertex lands on it",
       {{"in.json", json("[0, 50, 100]", "[60, 49.99999999]", "[55, 50]")}},
       chains("in.json"),
       0,
       table_header + "  a:0         60 -> 49.99999999  inserted  3 -> 4               4, 3, 2\n"
                      "  b:0         55 -> 50           inserted  5 -> 1               3\n",
       ""},
      {"a point within the tolerance of two vertices lands on the nearer",
       {{"in.json", json("[0, 1]", "[0.999999985, 0.999999994]", nullptr)}},
       chains("in.json"),
       0,
       "Inserted input edges\n"
       "  input edge  from -> to                  status    background vertices  chain of "
       "background edges\n"
       "  a:0         0.999999985 -> 0.999999994  inserted  2 -> 1               1\n",
       ""},
      {"the paths line of one edge",
       {{"in.json", json("[0, 1]", "[0.25, 0.5]", nullptr)}},
       "TOOL insert in.json -o r.json 2> log; code=$?; grep paths log; exit $code",
       0,
       "[info] paths: 1 inserted input edge, with a chain of background edges\n",
       ""},
      {"tables of real values less than the tolerance apart",
       {{"a.txt", "0 0.99999999\n"}, {"b.txt", "0 1\n"}},
       "TOOL overlay a.txt b.txt -q",
       0,
       "0\t0.99999999\t2\ta,b\t1\t1\n0.99999999\t1\t1\tb\t0\t1\n",
       ""},
      {"rows shorter than the tolerance",
       {{"c.txt", "0 1e-9\n2e-9 3e-9\n"}},
       "TOOL overlay c.txt -q",
       0,
       "0\t1e-9\t1\tc\t1\n2e-9\t3e-9\t1\tc\t1\n",
       ""},
      {"a zero-length row of a table",
       {{"z.txt", "0 0\n1 2\n"}},
       "TOOL overlay z.txt --log-level warn",
       0,
       "1\t2\t1\tz\t1\n",
       "[warn] z.txt: 1 row of length zero (start equal to end) left out: it covers nothing\n"},
      {"a bad first BED row is no header",
       {{"x.txt", "chr1\t1O\t2O\nchr1\t100\t200\n"}},
       "TOOL overlay - -q < x.txt",
       2,
       "",
       "velk-background-line: stdin:1: start \"1O\" is not a number\n"},
      {"a first BED row of dots",
       {{"d.bed", "chr1\t.\t.\nchr1\t100\t200\n"}},
       "TOOL overlay d.bed -q",
       2,
       "",
       "velk-background-line: d.bed:1: start \".\" is not a number\n"},
      {"headers bedtools skips, in any case",
       {{"h.bed", "Track name=h\n#c\nCHROM\tstart\tend\nchr1\t1\t2\n"}},
       "TOOL overlay h.bed -q",
       0,
       "chr1\t1\t2\t1\th\t1\n",
       ""},
      {"a header line after the first record",
       {{"l.bed", "chr1\t1\t2\n# late\n"}},
       "TOOL overlay l.bed -q",
       2,
       "",
       "velk-background-line: l.bed:2: a header line after the first record: \"# late\" (header "
       "lines come before the records)\n"},
      {"an output that is an input",
       {{"a.bed", "chr1\t0\t10\n"}, {"b.bed", "chr1\t5\t20\n"}},
       "TOOL overlay a.bed b.bed -o a.bed -q",
       2,
       "",
       "velk-background-line: a.bed: the output would overwrite an input (a.bed)\n"},
      {"an output that is standard input's file",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay - -o a.bed -q < a.bed",
       2,
       "",
       "velk-background-line: a.bed: the output would overwrite an input (standard input)\n"},
      {"a picture over the input",
       {{"in.json", json("[0, 1]", "[0.25, 0.5]", nullptr)}},
       "TOOL insert in.json -o r.json --svg ./in.json -q",
       2,
       "",
       "velk-background-line: ./in.json: the output would overwrite an input (in.json)\n"},
      {"an empty output name",
       {{"in.json", json("[0, 1]", "[0.25, 0.5]", nullptr)}},
       "TOOL insert in.json -o '' -q",
       2,
       "",
       "velk-background-line: --output: the file name is empty (run with --help for usage)\n"},
      {"an empty output name for overlay",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay a.bed -o '' -q",
       2,
       "",
       "velk-background-line: --output: the file name is empty (run with --help for usage)\n"},
      {"two outputs into one device",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay a.bed -o /dev/null --json /dev/null -q",
       0,
       "",
       ""},
      {"two outputs into one file",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay a.bed -o r.tsv --json ./r.tsv -q",
       2,
       "",
       "velk-background-line: ./r.tsv: the same file is named for two outputs (r.tsv)\n"},
      {"a summary into a full device",
       {{"in.json", json("[0, 1]", "[0.25, 0.5]", nullptr)}},
       "TOOL insert in.json -o r.json --summary -q > /dev/full",
       1,
       "",
       full},
      {"the demo into a full device", {}, "TOOL demo --out demo -q > /dev/full", 1, "", full},
      {"rows into a full device",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay a.bed -q > /dev/full",
       1,
       "",
       full},
      {"more threads than cores and sequences",
       {{"a.bed", "chr1\t0\t10\n"}},
       "TOOL overlay a.bed --threads 100000 -q",
       0,
       "chr1\t0\t10\t1\ta\t1\n",
       ""},
      {"a line of 65 MiB",
       {},
       "head -c 68157440 /dev/zero | gzip -1 > bomb.bed.gz && TOOL overlay bomb.bed.gz -q",
       2,
       "",
       "velk-background-line: bomb.bed.gz:1: the line is longer than 64 MiB, the longest line "
       "read (is this a text file?)\n"},
  };
  std::string const tool = std::string{"'"} + VELK_TOOL_PATH + "'";
  for (auto const& one : cases) {
    SCOPED_TRACE(one.what);
    ScratchDirectory work;
    for (auto const& [name, content] : one.files) write_file(work / name, content);
    auto command = one.command;
    for (auto at = command.find("TOOL"); at != std::string::npos; at = command.find("TOOL")) {
      command.replace(at, 4, tool);
    }
    auto const run = velk::tool_test::run_program("/bin/sh", {"-c", command}, work.path());
    EXPECT_EQ(run.exit_code, one.exit_code);
    EXPECT_EQ(run.out, one.out);
    EXPECT_EQ(run.err, one.err);
    for (auto const& [name, content] : one.files) {
      EXPECT_EQ(read_file(work / name), content) << name << " changed";
    }
  }
}

}  // namespace
