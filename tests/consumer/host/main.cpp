// A host program built against the installed package: builds a curve through the umbrella
// header and prints it; exits non-zero when the curve does not read back as built.
#include <iostream>

#include <velk/background_line.hpp>

int main() {
  velk::LumoraMeshLibrary::initialize();

  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  builder.set_name("well-A");
  unsigned const v0 = builder.create_point(velk::Point<1>{{0.0}});
  unsigned const v1 = builder.create_point(velk::Point<1>{{2.5}});
  unsigned const e = builder.create_edge(v0, v1);

  auto const& ends = curve.edge_vertices(e);
  if (curve.nb_vertices() != 2 || curve.nb_edges() != 1 || ends[0] != v0 || ends[1] != v1 ||
      curve.point(v1).value(0) != 2.5 || curve.edges_around_vertex(v0).size() != 1) {
    std::cerr << "host: the curve does not read back as built\n";
    return 1;
  }
  std::cout << "host: curve " << curve.name() << ", " << curve.nb_vertices() << " vertices, "
            << curve.nb_edges() << " edge, edge " << e << " from " << curve.point(ends[0]).string()
            << " to " << curve.point(ends[1]).string() << "\n";
  std::cout << "host: uuid " << curve.id().string() << "\n";
  return 0;
}
