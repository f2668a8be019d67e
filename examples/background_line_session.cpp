// Inserts one input curve into a background line through `velk::BackgroundLineSession`, the
// one object that owns the whole job, and asks where the curve landed. The code between the
// markers is the example of the class's header and of README, word for word (a test checks).
//
//   velk_example_background_line_session
#include <iostream>

#include <velk/background_line.hpp>

int main() {
  // [example]
  // A background of three edges over [0, 30], then one input curve of two edges.
  velk::BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}};
  auto const report = line.insert("well-1", {5.0, 15.0, 25.0});
  line.clean();  // drops the edges the splits replaced; renumbers

  for (auto const& entry : report) {
    std::cout << "input edge " << entry.edge << ": "
              << velk::BackgroundLineSession::status_name(entry.status) << "\n";
  }
  auto const vertex = line.vertex_of("well-1", 0);  // empty when not inserted
  std::cout << "vertex 0 of well-1 is background vertex " << *vertex << "\n";
  auto const path = line.path("well-1", 0);  // empty when not inserted
  std::cout << "edge 0 of well-1 runs along background edges";
  for (auto const edge : *path) std::cout << " " << edge;
  std::cout << "\n";
  for (auto const& piece : line.overlapping(12.0, 18.0)) {
    std::cout << "[" << piece.start << ", " << piece.end << "] edge " << piece.edge;
    std::cout << " carries";
    for (auto const& carried : piece.carried) {
      std::cout << " " << carried.curve << ":" << carried.index;
    }
    std::cout << "\n";
  }
  // [example end]
  return 0;
}
