#include "insert/demo_data.hpp"

namespace velk::tool {

JobInput demo_input() {
  JobInput input;
  input.background = CurveData{"background", {0, 1, 2, 3, 4, 5, 6}, {}, std::nullopt};
  for (index_t v = 0; v + 1 < 7; ++v) input.background.edges.push_back({v, v + 1});
  input.curves.push_back(
      CurveData{"well-A", {0.5, 2.000000001, 4.5}, {{0, 1}, {1, 2}}, std::nullopt});
  input.curves.push_back(CurveData{"well-B", {1.5, 3.0, 5.5}, {{0, 1}, {1, 2}}, std::nullopt});
  input.curves.push_back(
      CurveData{"fault-C", {6.0, 2.5, 0.2}, {{0, 1}, {1, 2}}, std::vector<index_t>{0}});
  return input;
}

}  // namespace velk::tool
