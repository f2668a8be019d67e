#include <velk/tracks.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace velk::tracks;

// Random BED tracks (zero-length rows and overlaps included) on two sequences, one file each.
std::vector<TrackColumns> random_tracks(std::mt19937& random, std::size_t nb_tracks) {
  std::uniform_int_distribution<int> start{0, 60};
  std::uniform_int_distribution<int> length{0, 12};
  std::uniform_int_distribution<int> rows{0, 8};
  std::vector<TrackColumns> tracks(nb_tracks);
  for (auto& track : tracks) {
    for (auto const* sequence : {"chr1", "chr2"}) {
      for (int r = rows(random); r > 0; --r) {
        auto const s = start(random);
        track.sequences.emplace_back(sequence);
        track.starts.push_back(s);
        track.ends.push_back(s + length(random));
      }
    }
  }
  return tracks;
}

// The tracks covering the open stretch (a, b) between two neighbouring breakpoints by brute
// force, BED's zero-length rule applied: each covers all of it or none, so one point tells,
// taken off the integers where rows end.
std::vector<std::size_t> covering(std::vector<TrackColumns> const& tracks,
                                  std::string const& sequence, double a, double b) {
  std::vector<std::size_t> result;
  auto const middle = a + 0.37 * (b - a);
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    auto const& track = tracks[t];
    for (std::size_t i = 0; i < track.starts.size(); ++i) {
      auto start = track.starts[i];
      auto end = track.ends[i];
      if (start == end) {
        start = std::max(0.0, start - 1);
        end += 1;
      }
      if (track.sequences[i] == sequence && start < middle && middle < end) {
        result.push_back(t);
        break;
      }
    }
  }
  return result;
}

// The rows of tracks given in memory are those of the same tracks read from BED files, and
// every background stretch carries exactly the tracks that cover it.
TEST(TracksOverlay, ColumnsMatchFilesAndBruteForce) {
  std::mt19937 random{20};
  auto const directory = std::filesystem::temp_directory_path() / "velk_tracks_overlay_test";
  std::filesystem::create_directories(directory);
  for (int round = 0; round < 20; ++round) {
    auto const tracks = random_tracks(random, 1 + round % 4);
    std::vector<std::string> files;
    std::vector<std::string> names;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      names.push_back("t" + std::to_string(t));
      files.push_back((directory / (names.back() + ".bed")).string());
      std::ofstream out{files.back()};
      for (std::size_t i = 0; i < tracks[t].starts.size(); ++i) {
        out << tracks[t].sequences[i] << '\t' << tracks[t].starts[i] << '\t' << tracks[t].ends[i]
            << '\n';
      }
    }
    auto from_files = read_tracks(files, {}, "bed");
    auto from_columns = tracks_from_columns(tracks, names, TrackFormat::bed);
    std::ostringstream file_text;
    overlay(from_files, 2, [&](LineRows const& rows) {
      write_rows(file_text, rows, names, from_files.spellings);
    });
    auto const lines = overlay(std::move(from_columns), 1);
    std::ostringstream column_text;
    for (auto const& rows : lines) {
      write_rows(column_text, rows, names, from_files.spellings);
      auto const& x = rows.breakpoints.x;
      for (std::size_t e = 0; e + 1 < x.size(); ++e) {
        auto const expected = covering(tracks, rows.sequence, x[e], x[e + 1]);
        std::vector<std::size_t> carried;
        if (rows.set_of_edge[e] != LineRows::NO_SET) {
          for (std::size_t t = 0; t < tracks.size(); ++t) {
            if (rows.sets[rows.set_of_edge[e]].contains(t)) carried.push_back(t);
          }
        }
        ASSERT_EQ(carried, expected) << "round " << round << ", " << rows.sequence << " [" << x[e]
                                     << ", " << x[e + 1] << "]";
      }
    }
    ASSERT_EQ(column_text.str(), file_text.str()) << "round " << round;
  }
  std::filesystem::remove_all(directory);
}

// Rows held in memory are refused as the same rows in a file are, and so are columns that do
// not line up; the error names the track and keeps its message apart from its tag.
TEST(TracksOverlay, BadColumnsAreRefused) {
  struct Case {
    TrackColumns columns;
    TrackFormat format;
    std::string detail;
  };
  std::vector<Case> const cases{
      {{{"chr1"}, {5}, {3}}, TrackFormat::bed, "track 0:1: start 5 is greater than end 3"},
      {{{"chr1"}, {-1}, {3}}, TrackFormat::bed, "track 0:1: start -1 is negative"},
      {{{}, {1.5, 2}, {2.5}}, TrackFormat::table, "track 0: 0 sequence names, 2 starts and 1 end"},
      {{{"chr\t1"}, {1}, {2}}, TrackFormat::bed, "track 0:1: the sequence name \"chr\\t1\""},
  };
  for (auto const& [columns, format, detail] : cases) {
    try {
      tracks_from_columns({columns}, {"a"}, format);
      ADD_FAILURE() << "accepted: " << detail;
    } catch (TrackError const& error) {
      EXPECT_EQ(error.kind(), TrackError::Kind::bad_input);
      EXPECT_EQ(error.detail().substr(0, detail.size()), detail);
      std::string const what{error.what()};
      EXPECT_TRUE(what.front() == '[' && what.find("] " + error.detail()) != std::string::npos)
          << what;
    }
  }
}

}  // namespace
