#include "common/text.hpp"
#include "insert/json_result_writer.hpp"
#include "insert/writers.hpp"

namespace velk::tool {

void write_json(std::ostream& out, Job const& job) {
  auto const& input = job.input();
  std::vector<std::string> names;
  names.reserve(input.curves.size());
  for (auto const& curve : input.curves) names.push_back(curve.name);
  JsonResultWriter writer{out, names};
  writer.begin_background(input.background.name);
  for (index_t v = 0; v < job.nb_vertices(); ++v) {
    writer.begin_vertex(v, job.x(v), job.created_by_split(v));
    job.for_each_macro_vertex(
        v, [&writer](MacroRef const& ref) { writer.macro_vertex(ref.curve, ref.element); });
    writer.end_vertex();
  }
  for (index_t e = 0; e < job.nb_edges(); ++e) {
    writer.begin_edge(e, job.edge_vertices(e));
    job.for_each_macro_element(
        e, [&writer](MacroRef const& ref) { writer.macro_element(ref.curve, ref.element); });
    writer.end_edge();
  }
  std::size_t nb_paths = 0;
  std::size_t nb_chains = 0;
  for (auto const c : job.inserted_curves()) {
    writer.begin_curve(c, job.removal(c));
    for (auto const& entry : job.report(c)) {
      writer.report_entry(entry.edge, status_name(entry.status));
    }
    // A removed curve carries nothing: it has no paths.
    if (job.removed(c)) {
      writer.end_curve();
      continue;
    }
    for (auto const edge : job.distinct_edges(c)) {
      auto const answer = job.path(c, edge, true);
      ++nb_paths;
      nb_chains += answer.path ? 1 : 0;
      std::optional<absl::Span<index_t const>> chain;
      if (answer.path) chain = absl::MakeConstSpan(*answer.path);
      writer.path(edge, answer.vertices, chain, answer.error);
    }
    writer.end_curve();
  }
  if (job.lists_left_out()) {
    writer.begin_skipped();
    for (auto const& [curve, reason] : job.left_out()) writer.skipped(curve, reason);
  }
  writer.finish();
  // The answer the tool exists to give, counted: a missing chain is the exception.
  Logger::log_info(
      "paths: " + count_of(nb_paths, "inserted input edge") +
      (nb_paths == 0 ? std::string{}
       : nb_chains == nb_paths
           ? std::string{nb_paths == 1 ? ", with" : ", each with"} + " a chain of background edges"
           : ", " + std::to_string(nb_paths - nb_chains) +
                 " without a chain (see \"path\": null)"));
}

}  // namespace velk::tool
