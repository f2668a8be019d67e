// `overlay` against known `bedtools multiinter` output: each case of
// cases/multiinter/multiinter_cases.json (written by make_cases.py from bedtools' own output)
// runs the tool on the same files and must print the same text, byte for byte.
#include <gtest/gtest.h>

#include "tool_runner.hpp"

namespace {

using namespace velk::tool_test;

TEST(ToolOverlay, PrintsWhatMultiinterPrints) {
  auto const table = read_json(fs::path{VELK_TOOL_CASES} / "multiinter" / "multiinter_cases.json");
  ScratchDirectory work;
  for (auto const& [name, text] : table.at("files").items()) {
    write_file(work / name, text.get<std::string>());
  }
  ASSERT_GE(table.at("cases").size(), 10U);
  for (auto const& test : table.at("cases")) {
    SCOPED_TRACE(test.at("name").get<std::string>());
    std::vector<std::string> arguments{"overlay"};
    for (auto const& argument : test.at("args")) arguments.push_back(argument.get<std::string>());
    arguments.push_back("--quiet");
    auto const run = run_tool(arguments, work.path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, test.at("expected").get<std::string>());
  }
}

// Rows in any order within a file give the rows of the same files sorted.
TEST(ToolOverlay, SortedAndUnsortedInputGiveTheSameRows) {
  ScratchDirectory work;
  write_file(work / "a.bed", "chr2\t5\t9\nchr1\t30\t40\nchr1\t0\t12\nchr2\t1\t3\nchr1\t11\t11\n");
  write_file(work / "b.bed", "chrX\t2\t4\nchr1\t35\t50\nchr1\t5\t8\n");
  write_file(work / "a_sorted.bed",
             "chr1\t0\t12\nchr1\t11\t11\nchr1\t30\t40\nchr2\t1\t3\nchr2\t5\t9\n");
  write_file(work / "b_sorted.bed", "chr1\t5\t8\nchr1\t35\t50\nchrX\t2\t4\n");
  auto const unsorted =
      run_tool({"overlay", "a.bed", "b.bed", "--names", "a,b", "-q"}, work.path());
  auto const sorted =
      run_tool({"overlay", "a_sorted.bed", "b_sorted.bed", "--names", "a,b", "-q"}, work.path());
  ASSERT_EQ(unsorted.exit_code, 0) << unsorted.err;
  ASSERT_EQ(sorted.exit_code, 0) << sorted.err;
  EXPECT_EQ(unsorted.out, sorted.out);
  EXPECT_EQ(lines_of(sorted.out).size(), 9U) << sorted.out;
  // Unsorted input is read whole, and the log says where it is out of order.
  auto const logged = run_tool({"overlay", "a.bed", "b.bed"}, work.path());
  EXPECT_NE(logged.err.find("a.bed:2: sequence \"chr1\" after \"chr2\": the input is not sorted"),
            std::string::npos)
      << logged.err;
}

}  // namespace
