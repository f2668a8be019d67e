#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "writers.hpp"

namespace velk::tool {
namespace {

using nlohmann::ordered_json;

// Compact JSON text of one value; invalid UTF-8 (impossible from a parsed file, possible
// from a caller) is replaced rather than thrown on.
std::string compact(ordered_json const& value) {
  return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

ordered_json macro_list(std::vector<MacroRef> const& refs, JobInput const& input,
                        char const* element) {
  auto list = ordered_json::array();
  for (auto const& ref : refs) {
    list.push_back(ordered_json{{"curve", input.curves[ref.curve].name}, {element, ref.element}});
  }
  return list;
}

// `"key": [` then one compact item per line, then `]`: long lists stay readable.
void write_list(std::ostream& out, std::string const& indent, char const* key,
                std::vector<ordered_json> const& items, bool last) {
  out << indent << '"' << key << "\": [";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out << (i == 0 ? "\n" : ",\n") << indent << "  " << compact(items[i]);
  }
  out << (items.empty() ? "]" : "\n" + indent + "]") << (last ? "\n" : ",\n");
}

}  // namespace

void write_json(std::ostream& out, JobInput const& input, JobResult const& result) {
  std::vector<ordered_json> vertices;
  for (std::size_t v = 0; v < result.vertices.size(); ++v) {
    auto const& vertex = result.vertices[v];
    vertices.push_back(
        ordered_json{{"index", v},
                     {"x", vertex.x},
                     {"created_by_split", vertex.created_by_split},
                     {"macro_vertices", macro_list(vertex.macro_vertices, input, "vertex")}});
  }
  std::vector<ordered_json> edges;
  for (std::size_t e = 0; e < result.edges.size(); ++e) {
    auto const& edge = result.edges[e];
    edges.push_back(
        ordered_json{{"index", e},
                     {"vertices", edge.vertices},
                     {"macro_elements", macro_list(edge.macro_elements, input, "edge")}});
  }
  out << "{\n  \"background\": {\n    \"name\": " << compact(input.background.name) << ",\n";
  write_list(out, "    ", "vertices", vertices, false);
  write_list(out, "    ", "edges", edges, true);
  out << "  },\n  \"curves\": [";
  for (std::size_t c = 0; c < result.curves.size(); ++c) {
    std::vector<ordered_json> report;
    for (auto const& entry : result.curves[c].report) {
      report.push_back(ordered_json{{"edge", entry.edge}, {"status", entry.status}});
    }
    std::vector<ordered_json> paths;
    for (auto const& answer : result.curves[c].paths) {
      ordered_json item{{"edge", answer.edge}};
      item["vertices"] = answer.vertices ? ordered_json(*answer.vertices) : ordered_json(nullptr);
      item["path"] = answer.path ? ordered_json(*answer.path) : ordered_json(nullptr);
      if (!answer.error.empty()) item["error"] = answer.error;
      paths.push_back(std::move(item));
    }
    out << (c == 0 ? "\n" : ",\n") << "    {\n      \"name\": " << compact(input.curves[c].name)
        << ",\n";
    if (auto const& removal = result.curves[c].removal) {
      out << "      \"removed\": "
          << compact(ordered_json{{"macro_vertices_removed", removal->macro_vertices_removed},
                                  {"macro_elements_removed", removal->macro_elements_removed},
                                  {"vertices_merged", removal->vertices_merged}})
          << ",\n";
    }
    write_list(out, "      ", "report", report, false);
    write_list(out, "      ", "paths", paths, true);
    out << "    }";
  }
  out << (result.curves.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace velk::tool
