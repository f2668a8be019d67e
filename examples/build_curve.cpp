// Builds a small one-dimensional edged curve with the mesh kernel and prints it: its name and
// uuid, each vertex with its point, each edge with its two vertices.
//
//   velk_example_build_curve
#include <iostream>

#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <mesh/mesh_library.hpp>

int main() {
  velk::LumoraMeshLibrary::initialize();

  // A well path sampled at four depths: three edges joined end to end.
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  builder.set_name("well-A");
  unsigned const top = builder.create_point(velk::Point<1>{{0.0}});
  unsigned const casing = builder.create_point(velk::Point<1>{{2.5}});
  unsigned const reservoir = builder.create_point(velk::Point<1>{{4.0}});
  unsigned const bottom = builder.create_point(velk::Point<1>{{7.25}});
  builder.create_edge(top, casing);
  builder.create_edge(casing, reservoir);
  builder.create_edge(reservoir, bottom);

  std::cout << "curve " << curve.name() << " (" << curve.id().string() << ")\n";
  std::cout << curve.nb_vertices() << " vertices\n";
  for (unsigned vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    std::cout << "  vertex " << vertex << " at " << curve.point(vertex).string() << ", "
              << curve.edges_around_vertex(vertex).size() << " edge(s) around\n";
  }
  std::cout << curve.nb_edges() << " edges\n";
  for (unsigned edge = 0; edge < curve.nb_edges(); ++edge) {
    auto const& vertices = curve.edge_vertices(edge);
    std::cout << "  edge " << edge << ": " << vertices[0] << " -> " << vertices[1] << " ["
              << curve.point(vertices[0]).string() << ", " << curve.point(vertices[1]).string()
              << "]\n";
  }
  return 0;
}
