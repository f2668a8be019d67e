// End-to-end tests of `overlay`: the row readers (each format, gzip, standard input), the
// rows written for known inputs, the refusals with their exact messages, the JSON result
// against `insert` on the same job, the threads, and agreement with `bedtools multiinter`
// on generated tracks when bedtools is installed.
#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>
#include <nlohmann/json.hpp>

#include "tool_runner.hpp"

namespace {

using velk::tool_test::entries_of;
using velk::tool_test::read_file;
using velk::tool_test::run_program;
using velk::tool_test::run_tool;
using velk::tool_test::ScratchDirectory;
using velk::tool_test::write_file;

void write_gzip(std::filesystem::path const& file, std::string const& content) {
  auto* out = gzopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, content.data(), static_cast<unsigned>(content.size())),
            static_cast<int>(content.size()));
  ASSERT_EQ(gzclose(out), Z_OK);
}

struct File {
  std::string name;
  std::string content;
  bool as_is = false;  // a "*.gz" file written uncompressed
};

struct KnownAnswer {
  char const* what;
  std::vector<File> files;
  std::vector<std::string> arguments;  // after "overlay", before "--quiet"
  std::string rows;
};

// Files named "*.gz" are written compressed unless `as_is`.
void write_files(ScratchDirectory const& work, std::vector<File> const& files) {
  for (auto const& file : files) {
    auto const& name = file.name;
    if (!file.as_is && name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) {
      write_gzip(work / name, file.content);
    } else {
      write_file(work / name, file.content);
    }
  }
}

TEST(ToolOverlay, WritesTheKnownRows) {
  // Two BED files on three sequences, chr2 seen first: written in name order, as multiinter
  // writes them.
  std::string const a_bed =
      "track name=a\nbrowser position chr1:1-100\n# comment\n"
      "chr2\t5\t8\tx\t0\n"
      "chr1\t10\t20\tname\t0\t+\n"
      "chr1\t15\t30\n"
      "chr1\t30\t35\n";
  std::string const b_bed = "chr1\t18\t25\r\nchr1\t40\t40\nchr2\t7\t9\nchr3\t0\t0\n";
  std::vector<KnownAnswer> const cases{
      {"BED on three sequences, rows merged within a file, zero length widened",
       {{"a.bed", a_bed}, {"b.bed", b_bed}},
       {"a.bed", "b.bed"},
       "chr1\t10\t18\t1\ta\t1\t0\nchr1\t18\t25\t2\ta,b\t1\t1\nchr1\t25\t35\t1\ta\t1\t0\n"
       "chr1\t39\t41\t1\tb\t0\t1\nchr2\t5\t7\t1\ta\t1\t0\nchr2\t7\t8\t2\ta,b\t1\t1\n"
       "chr2\t8\t9\t1\tb\t0\t1\nchr3\t0\t1\t1\tb\t0\t1\n"},
      {"gzip, names from the file names, then --names in command-line order",
       {{"data.aluY.bed.gz", a_bed}, {"b.bed", b_bed}},
       {"--names", "B,A", "b.bed", "data.aluY.bed.gz"},
       "chr1\t10\t18\t1\tA\t0\t1\nchr1\t18\t25\t2\tB,A\t1\t1\nchr1\t25\t35\t1\tA\t0\t1\n"
       "chr1\t39\t41\t1\tB\t1\t0\nchr2\t5\t7\t1\tA\t0\t1\nchr2\t7\t8\t2\tB,A\t1\t1\n"
       "chr2\t8\t9\t1\tB\t1\t0\nchr3\t0\t1\t1\tB\t1\t0\n"},
      {"name without .gz and the last extension",
       {{"data.aluY.bed.gz", "chr1\t1\t2\n"}},
       {"data.aluY.bed.gz"},
       "chr1\t1\t2\t1\tdata.aluY\t1\n"},
      {"tables: tab, space and comma separated, headers, numbers as read, zero length skipped",
       {{"logs.tsv", "top\tbottom\tzone\n1.50\t4\tA\n4\t6.0\tB\n"},
        {"picks.txt", "  2e0   3  \n5 5\n"},
        {"zones.csv", "from, to\n-1, 2.25\n"}},
       {"logs.tsv", "picks.txt", "zones.csv"},
       "-1\t1.50\t1\tzones\t0\t0\t1\n1.50\t2e0\t2\tlogs,zones\t1\t0\t1\n"
       "2e0\t2.25\t3\tlogs,picks,zones\t1\t1\t1\n2.25\t3\t2\tlogs,picks\t1\t1\t0\n"
       "3\t6.0\t1\tlogs\t1\t0\t0\n"},
      {"a row end merged into a run keeps its spelling out of the rows",
       {{"a.txt", "5\t1e1\n8\t12\n"}, {"b.txt", "10.0\t15\n"}},
       {"a.txt", "b.txt"},
       "5\t10.0\t1\ta\t1\t0\n10.0\t12\t2\ta,b\t1\t1\n12\t15\t1\tb\t0\t1\n"},
      {"touching rows of a table are one run",
       {{"t.csv", "0,1\n1,2\n2,3\n"}},
       {"t.csv"},
       "0\t3\t1\tt\t1\n"},
      {"--format bed for a file without the extension, numeric sequence names",
       {{"ensembl.txt", "chrom\tstart\tend\n1\t100\t200\n2\t0\t5\n"}},
       {"ensembl.txt", "--format", "bed"},
       "1\t100\t200\t1\tensembl\t1\n2\t0\t5\t1\tensembl\t1\n"},
      {"an empty track and a track with only a header",
       {{"e.bed", ""}, {"h.bed", "chrom\tstart\tend\n"}, {"f.bed", "chr1\t3\t4\n"}},
       {"e.bed", "h.bed", "f.bed"},
       "chr1\t3\t4\t1\tf\t0\t0\t1\n"},
  };
  for (auto const& known : cases) {
    SCOPED_TRACE(known.what);
    ScratchDirectory work;
    write_files(work, known.files);
    std::vector<std::string> arguments{"overlay"};
    arguments.insert(arguments.end(), known.arguments.begin(), known.arguments.end());
    arguments.push_back("--quiet");
    auto const run = run_tool(arguments, work.path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, known.rows);
    EXPECT_EQ(run.err, "");
    // The same rows through -o, and through the threads one line at a time.
    arguments.insert(arguments.end(), {"-o", "rows.tsv", "--threads", "1"});
    EXPECT_EQ(run_tool(arguments, work.path()).exit_code, 0);
    EXPECT_EQ(read_file(work / "rows.tsv"), known.rows);
    // With --json the rows come from the line that carries every row as an edge.
    arguments.insert(arguments.end(), {"--json", "r.json"});
    EXPECT_EQ(run_tool(arguments, work.path()).exit_code, 0);
    EXPECT_EQ(read_file(work / "rows.tsv"), known.rows);
  }
}

TEST(ToolOverlay, ReadsStandardInput) {
  ScratchDirectory work;
  write_gzip(work / "in.gz", "chr1\t1\t5\n");
  write_file(work / "other.bed", "chr1\t3\t9\n");
  auto const run = run_program(
      "/bin/sh", {"-c", std::string{VELK_TOOL_PATH} + " overlay - other.bed -q < in.gz"},
      work.path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "chr1\t1\t3\t1\tstdin\t1\t0\nchr1\t3\t5\t2\tstdin,other\t1\t1\n"
            "chr1\t5\t9\t1\tother\t0\t1\n");
}

struct BadOverlay {
  char const* what;
  std::vector<File> files;
  std::vector<std::string> arguments;  // after "overlay"
  std::string message;                 // after "velk-background-line: "
};

TEST(ToolOverlay, RefusesBadInputWithItsPlaceAndValue) {
  std::vector<BadOverlay> const cases{
      {"not a number",
       {{"a.bed", "chr1\t1\t2\nchr1\t10\tabc\n"}},
       {"a.bed"},
       "a.bed:2: end \"abc\" is not a number"},
      {"too few BED columns",
       {{"a.bed", "chr1\t10\n"}},
       {"a.bed"},
       "a.bed:1: expected tab-separated columns seq, start and end, not \"chr1\\t10\""},
      {"too few table columns",
       {{"a.csv", "start,end\n1,2\n3\n"}},
       {"a.csv"},
       "a.csv:3: expected columns start and end, not \"3\""},
      {"start after end",
       {{"a.bed", "chr1\t30\t20\n"}},
       {"a.bed"},
       "a.bed:1: start 30 is greater than end 20"},
      {"infinite",
       {{"a.bed", "chr1\t1\tinf\n"}},
       {"a.bed"},
       "a.bed:1: end \"inf\" is not a finite number"},
      {"beyond a double",
       {{"a.txt", "1 1e999\n"}},
       {"a.txt"},
       "a.txt:1: end \"1e999\" is not a finite number"},
      {"not a number at all",
       {{"a.txt", "1 nan\n"}},
       {"a.txt"},
       "a.txt:1: end \"nan\" is not a finite number"},
      {"negative BED coordinate",
       {{"a.bed", "chr1\t-5\t3\n"}},
       {"a.bed"},
       "a.bed:1: start -5 is negative (BED coordinates start at 0)"},
      {"fractional BED coordinate",
       {{"a.bed", "chr1\t10.5\t20\n"}},
       {"a.bed"},
       "a.bed:1: start \"10.5\" is not a whole number (BED coordinates are integers)"},
      {"BED coordinate beyond 2^53",
       {{"a.bed", "chr1\t1\t1e17\n"}},
       {"a.bed"},
       "a.bed:1: end \"1e17\" is too large (BED coordinates stop at 2^53)"},
      {"empty sequence name",
       {{"a.bed", "\t1\t3\n"}},
       {"a.bed"},
       "a.bed:1: the sequence name is empty in \"\\t1\\t3\""},
      {"missing file",
       {},
       {"missing.bed"},
       "missing.bed: cannot read the file: No such file or directory"},
      {"directory", {}, {"."}, ".: cannot read the file: it is a directory"},
      {"not gzip",
       {{"a.bed.gz", "chr1\t1\t2\n", true}},
       {"a.bed.gz"},
       "a.bed.gz: cannot decompress: not in gzip format"},
      {"BED and table mixed",
       {{"a.bed", "chr1\t1\t2\n"}, {"t.txt", "1 2\n"}},
       {"a.bed", "t.txt"},
       "t.txt:1: this file is a plain table (start end), but an earlier file is BED, GFF or VCF "
       "(rows that name a sequence): all files must be of one kind (see --format)"},
      {"GFF start below 1",
       {{"a.gff", "chr1\tsrc\tgene\t0\t20\t.\t+\t.\tID=g\n"}},
       {"a.gff"},
       "a.gff:1: start 0 is below 1 (GFF and VCF positions start at 1)"},
      {"GFF start after end",
       {{"a.gtf", "chr1\tsrc\texon\t30\t20\t.\t+\t.\tx\n"}},
       {"a.gtf"},
       "a.gtf:1: start 30 is greater than end 20"},
      {"VCF without a reference allele",
       {{"a.vcf", "##fileformat=VCFv4.2\nchr1\t5\t.\t.\tA\n"}},
       {"a.vcf"},
       "a.vcf:2: the reference allele \".\" is empty"},
      {"VCF position not a number",
       {{"a.vcf", "chr1\tfive\t.\tA\tG\n"}},
       {"a.vcf"},
       "a.vcf:1: position \"five\" is not a number"},
      {"genome length not a number",
       {{"a.bed", "chr1\t1\t2\n"}, {"g.txt", "chr1\t100\nchr2\tlong\n"}},
       {"a.bed", "--empty", "--genome", "g.txt"},
       "g.txt:2: the length \"long\" is not a whole number from 0 to 2^53"},
      {"genome sequence twice",
       {{"a.bed", "chr1\t1\t2\n"}, {"g.txt", "chr1\t100\nchr1\t100\n"}},
       {"a.bed", "--empty", "--genome", "g.txt"},
       "g.txt:2: the sequence \"chr1\" is listed twice"},
      {"duplicate names",
       {{"a.bed", "chr1\t1\t2\n"}},
       {"a.bed", "./a.bed"},
       "the curve name \"a\" is given to both a.bed and ./a.bed (choose names with --names)"},
      {"an empty name",
       {{"a.bed", "chr1\t1\t2\n"}},
       {"a.bed", "a.bed", "--names", "x,"},
       "the curve name of a.bed is empty"},
      {"names for another number of files",
       {{"a.bed", "chr1\t1\t2\n"}},
       {"a.bed", "--names", "x,y"},
       "--names gives 2 names for 1 file"},
      {"a comma in a name",
       {{"a,b.bed", "chr1\t1\t2\n"}},
       {"a,b.bed"},
       "the curve name \"a,b\" of a,b.bed holds a comma or a control character, which would "
       "break the output's names column (choose names with --names)"},
      {"standard input twice", {}, {"-", "-"}, "standard input (-) is named twice"},
  };
  for (auto const& bad : cases) {
    SCOPED_TRACE(bad.what);
    ScratchDirectory work;
    write_files(work, bad.files);
    std::filesystem::create_directory(work / "out");
    std::vector<std::string> arguments{"overlay"};
    arguments.insert(arguments.end(), bad.arguments.begin(), bad.arguments.end());
    arguments.insert(arguments.end(), {"-o", "out/rows.tsv", "--json", "out/result.json", "-q"});
    auto const run = run_tool(arguments, work.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "velk-background-line: " + bad.message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(entries_of(work / "out").empty());
  }
}

TEST(ToolOverlay, RefusesATruncatedGzipFile) {
  ScratchDirectory work;
  std::string rows;
  for (int i = 0; i < 2000; ++i)
    rows += "chr1\t" + std::to_string(i) + "\t" + std::to_string(i + 7) + "\n";
  write_gzip(work / "full.bed.gz", rows);
  auto const bytes = read_file(work / "full.bed.gz");
  write_file(work / "cut.bed.gz", bytes.substr(0, bytes.size() / 2));
  auto const run = run_tool({"overlay", "cut.bed.gz", "-o", "rows.tsv", "-q"}, work.path());
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err,
            "velk-background-line: cut.bed.gz: cannot decompress: unexpected end of file\n");
  EXPECT_FALSE(std::filesystem::exists(work / "rows.tsv"));
}

// Random rows: clustered integer starts, lengths of 0 to 40 (a few of length zero), so that
// rows overlap, touch and nest, within a file and across files.
std::string random_rows(std::mt19937& random, int count, bool bed,
                        std::vector<std::string> const& sequences) {
  std::uniform_int_distribution<int> centre{1, 400};
  std::uniform_int_distribution<int> offset{-15, 15};
  std::uniform_int_distribution<int> length{0, 40};
  std::uniform_int_distribution<std::size_t> sequence{0, sequences.size() - 1};
  struct Row {
    std::size_t sequence;
    int start;
    int end;
  };
  std::vector<Row> rows;
  for (int i = 0; i < count; ++i) {
    auto const start = std::max(1, centre(random) + offset(random));
    auto const size = length(random) < 2 ? 0 : length(random);
    rows.push_back({sequence(random), start, start + size});
  }
  std::sort(rows.begin(), rows.end(), [](Row const& a, Row const& b) {
    return std::tie(a.sequence, a.start, a.end) < std::tie(b.sequence, b.start, b.end);
  });
  std::string text;
  for (auto const& row : rows) {
    if (bed) text += sequences[row.sequence] + "\t";
    text += std::to_string(row.start) + "\t" + std::to_string(row.end) + (bed ? "\tname\n" : "\n");
  }
  return text;
}

// 100 generated cases against bedtools multiinter itself, when installed: 2 to 6 files over
// up to 8 sequences (given in name order, as bedtools needs them sorted), each file on a
// random subset of them (some files empty, some sequences in one file only), rows that
// overlap, touch, nest or have length zero; with -header in a third of the cases and -empty
// with a genome file (lengths beyond, within or missing) in another third.
TEST(ToolOverlay, AgreesWithBedtoolsMultiinter) {
  ScratchDirectory probe;
  if (run_program("/bin/sh", {"-c", "command -v bedtools"}, probe.path()).exit_code != 0) {
    GTEST_SKIP() << "bedtools is not installed";
  }
  std::vector<std::string> const pool{"chr1", "chr10", "chr2",       "chrM",
                                      "chrX", "chrY",  "scaffold_1", "scaffold_10"};
  std::size_t nonempty = 0;
  for (unsigned seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ScratchDirectory work;
    std::mt19937 random{seed};
    auto const nb_files = 2 + static_cast<int>(random() % 5);
    std::vector<std::string> files;
    std::string names;
    for (int f = 0; f < nb_files; ++f) {
      std::vector<std::string> sequences;
      for (auto const& name : pool) {
        if (random() % 3 == 0) sequences.push_back(name);
      }
      if (sequences.empty()) sequences.push_back(pool[random() % pool.size()]);
      // Not every file empty: bedtools multiinter crashes on that.
      auto const count = f > 0 && random() % 7 == 0 ? 0 : 1 + static_cast<int>(random() % 80);
      files.push_back("t" + std::to_string(f) + ".bed");
      names += (f == 0 ? "" : " ") + std::string{"n"} + std::to_string(f);
      write_file(work / files.back(),
                 count == 0 ? "" : random_rows(random, count, true, sequences));
    }
    std::string genome;
    for (auto const& name : pool) {
      if (random() % 4 != 0) genome += name + "\t" + std::to_string(random() % 500) + "\n";
    }
    write_file(work / "g.genome", genome);
    std::vector<std::string> options;
    if (seed % 3 == 1) options = {"-header"};
    if (seed % 3 == 2) options = {"-empty", "-g", "g.genome"};
    std::vector<std::string> ours{"overlay", "-q", "--names"};
    std::string list;
    for (auto const& file : files) list += " " + file;
    std::string commas = names;
    std::replace(commas.begin(), commas.end(), ' ', ',');
    ours.push_back(commas);
    ours.insert(ours.end(), files.begin(), files.end());
    std::string theirs = "bedtools multiinter -i" + list + " -names " + names;
    for (auto const& option : options) {
      theirs += " " + option;
      ours.push_back(option);
    }
    auto const our_run = run_tool(ours, work.path());
    ASSERT_EQ(our_run.exit_code, 0) << our_run.err;
    auto const their_run = run_program("/bin/sh", {"-c", theirs}, work.path());
    ASSERT_EQ(their_run.exit_code, 0) << their_run.err;
    EXPECT_EQ(our_run.out, their_run.out) << theirs;
    nonempty += velk::tool_test::lines_of(their_run.out).size() > 3 ? 1 : 0;
  }
  EXPECT_GT(nonempty, 80U);
}

// The JSON result is that of `insert` on the same job: a background chained through every
// distinct row end, and one curve per file with one edge per row. Its background edges,
// reduced to runs of equal sets of curves, are the rows.
TEST(ToolOverlay, JsonIsTheResultOfInsertOnEveryRow) {
  ScratchDirectory work;
  std::mt19937 random{7};
  std::vector<std::vector<std::pair<double, double>>> tracks(3);
  std::set<double> ends;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    std::string text;
    for (int i = 0; i < 25; ++i) {
      auto const start = std::uniform_int_distribution<int>{0, 80}(random) / 4.0;
      auto const end = start + std::uniform_int_distribution<int>{1, 24}(random) / 4.0;
      tracks[t].emplace_back(start, end);
      ends.insert(start);
      ends.insert(end);
      text += nlohmann::json(start).dump() + "," + nlohmann::json(end).dump() + "\n";
    }
    write_file(work / ("c" + std::to_string(t) + ".csv"), text);
  }
  nlohmann::json job{{"background", {{"name", "background"}, {"points", ends}}},
                     {"curves", nlohmann::json::array()}};
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    nlohmann::json points = nlohmann::json::array();
    nlohmann::json edges = nlohmann::json::array();
    for (auto const& [start, end] : tracks[t]) {
      edges.push_back({points.size(), points.size() + 1});
      points.push_back(start);
      points.push_back(end);
    }
    job["curves"].push_back(
        {{"name", "c" + std::to_string(t)}, {"points", points}, {"edges", edges}});
  }
  write_file(work / "job.json", job.dump());
  ASSERT_EQ(run_tool({"insert", "job.json", "-o", "insert.json", "-q"}, work.path()).exit_code, 0);
  auto const overlay = run_tool(
      {"overlay", "c0.csv", "c1.csv", "c2.csv", "--json", "overlay.json", "-q"}, work.path());
  ASSERT_EQ(overlay.exit_code, 0) << overlay.err;
  EXPECT_EQ(read_file(work / "overlay.json"), read_file(work / "insert.json"));
  // The rows do not depend on --json.
  EXPECT_EQ(run_tool({"overlay", "c0.csv", "c1.csv", "c2.csv", "-q"}, work.path()).out,
            overlay.out);

  auto const result = velk::tool_test::read_json(work / "overlay.json");
  auto const& vertices = result["background"]["vertices"];
  std::string reduced;
  double run_start = 0;
  double run_end = 0;
  std::set<std::string> run_names;
  auto const flush = [&] {
    if (run_names.empty()) return;
    std::string names;
    for (auto const& name : run_names) names += (names.empty() ? "" : ",") + name;
    reduced += nlohmann::json(run_start).dump() + "\t" + nlohmann::json(run_end).dump() + "\t" +
               std::to_string(run_names.size()) + "\t" + names;
    for (auto const& curve : result["curves"]) {
      reduced += run_names.count(curve["name"].get<std::string>()) > 0 ? "\t1" : "\t0";
    }
    reduced += "\n";
  };
  for (auto const& edge : result["background"]["edges"]) {
    auto const a = vertices[edge["vertices"][0].get<std::size_t>()]["x"].get<double>();
    auto const b = vertices[edge["vertices"][1].get<std::size_t>()]["x"].get<double>();
    std::set<std::string> names;
    for (auto const& macro : edge["macro_elements"])
      names.insert(macro["curve"].get<std::string>());
    if (names == run_names && a == run_end) {
      run_end = b;
      continue;
    }
    flush();
    run_start = a;
    run_end = b;
    run_names = names;
  }
  flush();
  EXPECT_EQ(overlay.out, reduced);
}

TEST(ToolOverlay, JsonOfBedHoldsOneDocumentPerSequence) {
  ScratchDirectory work;
  write_file(work / "a.bed", "chr2\t1\t3\nchr1\t2\t4\n");
  write_file(work / "b.bed", "chr1\t3\t5\n");
  ASSERT_EQ(
      run_tool({"overlay", "a.bed", "b.bed", "--json", "r.json", "-o", "r.tsv", "-q"}, work.path())
          .exit_code,
      0);
  auto const result = velk::tool_test::read_json(work / "r.json");
  ASSERT_TRUE(result.is_array());
  ASSERT_EQ(result.size(), 2U);
  EXPECT_EQ(result[0]["background"]["name"], "chr1");
  EXPECT_EQ(result[1]["background"]["name"], "chr2");
  EXPECT_EQ(result[0]["curves"][1]["name"], "b");
  EXPECT_EQ(result[1]["curves"][1]["report"].size(), 0U);
}

// Many sequences on several threads give the rows of one thread, in name order (the ThreadSanitizer
// run of the tests runs this one too).
TEST(ToolOverlay, ThreadsKeepTheOrderOfTheSequences) {
  ScratchDirectory work;
  std::mt19937 random{11};
  std::vector<std::string> sequences;
  for (int s = 0; s < 12; ++s) sequences.push_back("seq" + std::to_string((s * 7) % 12));
  std::vector<std::string> arguments{"overlay"};
  for (int f = 0; f < 3; ++f) {
    auto const name = "t" + std::to_string(f) + ".bed";
    write_file(work / name, random_rows(random, 300, true, sequences));
    arguments.push_back(name);
  }
  arguments.insert(arguments.end(), {"-q", "--threads"});
  arguments.push_back("1");
  auto const one = run_tool(arguments, work.path());
  arguments.back() = "4";
  auto const four = run_tool(arguments, work.path());
  ASSERT_EQ(one.exit_code, 0) << one.err;
  ASSERT_EQ(four.exit_code, 0) << four.err;
  EXPECT_EQ(four.out, one.out);
  EXPECT_EQ(one.out.substr(0, 5), "seq0\t");
  arguments.insert(arguments.end() - 2, {"--json", "r.json"});
  EXPECT_EQ(run_tool(arguments, work.path()).out, one.out);
  EXPECT_EQ(velk::tool_test::read_json(work / "r.json").size(), 12U);
}

}  // namespace
