// The C++ door of the cross-door test: answers a job as BackgroundLineSession and the tracks
// library answer it, in the JSON that test_cross_door.py compares with the tool's and the
// Python module's answers.
//
//   cross_door_helper insert job.json TOLERANCE   # {"tolerance", "warnings", "landing"}
//   cross_door_helper overlay a.bed b.bed          # the overlay's rows, tracks given in memory
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <basic/logger.hpp>
#include <velk/background_line_session.hpp>
#include <velk/tracks.hpp>

namespace {

int insert(char const* file, double tolerance) {
  nlohmann::ordered_json job;
  std::ifstream{file} >> job;
  nlohmann::ordered_json answer;
  std::vector<std::string> warnings;
  velk::Logger::set_handler([&warnings](velk::Logger::LEVEL level, std::string_view line) {
    if (level == velk::Logger::LEVEL::warn) warnings.emplace_back(line);
  });
  auto const points = job["background"]["points"].get<std::vector<double>>();
  velk::BackgroundLineSession line{points, {}, tolerance};
  velk::Logger::set_handler(nullptr);
  answer["tolerance"] = line.tolerance();
  answer["warnings"] = warnings;
  answer["landing"] = nlohmann::ordered_json::object();
  for (auto const& curve : job["curves"]) {
    auto const name = curve["name"].get<std::string>();
    auto const curve_points = curve["points"].get<std::vector<double>>();
    line.insert(name, curve_points);
    auto& landing = answer["landing"][name];
    landing = nlohmann::ordered_json::array();
    for (velk::index_t v = 0; v < curve_points.size(); ++v) {
      landing.push_back(line.point(*line.vertex_of(name, v)));
    }
  }
  std::cout << answer.dump() << "\n";
  return 0;
}

// The BED files' rows read here into columns, so that the tracks reach the overlay through
// the in-memory door rather than the tool's file reader.
int overlay(int count, char** files) {
  std::vector<velk::tracks::TrackColumns> tracks;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    std::ifstream in{files[i]};
    velk::tracks::TrackColumns columns;
    std::string sequence;
    double start = 0;
    double end = 0;
    while (in >> sequence >> start >> end) {
      columns.sequences.push_back(sequence);
      columns.starts.push_back(start);
      columns.ends.push_back(end);
    }
    tracks.push_back(std::move(columns));
    names.push_back(velk::tracks::curve_name_of(files[i]));
  }
  auto set = velk::tracks::tracks_from_columns(tracks, names, velk::tracks::TrackFormat::bed);
  velk::tracks::overlay(set, 2, [&](velk::tracks::LineRows const& rows) {
    velk::tracks::write_rows(std::cout, rows, set.names, set.spellings);
  });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  velk::Logger::set_level(velk::Logger::LEVEL::warn);
  std::string const command = argc > 1 ? argv[1] : "";
  if (command == "insert" && argc == 4) return insert(argv[2], std::stod(argv[3]));
  if (command == "overlay" && argc > 2) return overlay(argc - 2, argv + 2);
  std::fprintf(stderr, "usage: cross_door_helper insert JOB TOLERANCE | overlay BED...\n");
  return 2;
}
