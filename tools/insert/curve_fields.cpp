#include "insert/curve_fields.hpp"

#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "common/text.hpp"
#include "common/tool_error.hpp"

namespace velk::tool {

std::string names_missing(std::string const& what, char const* element, std::string const& index,
                          std::size_t count) {
  return what + " names " + element + " " + index + ", but there " +
         (count == 1 ? std::string{"is 1 "} + element
                     : "are " + std::to_string(count) + " " + element + "s");
}

CurveFields::CurveFields(std::string position, bool is_input)
    : position_{std::move(position)}, is_input_{is_input} {}

std::string CurveFields::message_of(FieldError const& error, std::size_t count) {
  if (!error.missing_index) return error.what;
  return names_missing(error.what, error.element, std::to_string(error.index), count);
}

// The index of `item`, or its error: what a non-negative integer must be, or one too large
// for `index_t` (reported like any missing element).
std::optional<CurveFields::FieldError> CurveFields::index_error(IndexItem const& item,
                                                                std::string const& what,
                                                                char const* element) {
  if (!item.is_index) {
    return message(what + " must be a non-negative integer, not " + item.description);
  }
  if (item.index > std::numeric_limits<index_t>::max()) {
    return FieldError{what, true, element, item.index};
  }
  return std::nullopt;
}

CurveFields::List CurveFields::field(std::string const& key, bool is_array,
                                     std::string const& description) {
  if (key == "name") {
    has_name_ = true;
    name_.clear();
    name_error_ = "field \"name\" must be a string, not " + description;
  } else if (key == "points") {
    has_points_ = true;
    points_.clear();
    points_error_.reset();
    if (is_array) return List::points;
    points_error_ = message("field \"points\" must be an array of numbers, not " + description);
  } else if (key == "edges") {
    has_edges_ = true;
    edges_.clear();
    edges_error_.reset();
    if (is_array) return List::edges;
    edges_error_ =
        message("field \"edges\" must be an array of point index pairs, not " + description);
  } else if (key == "insert" && is_input_) {
    has_insert_ = true;
    insert_.clear();
    insert_error_.reset();
    if (is_array) return List::insert;
    insert_error_ =
        message("field \"insert\" must be an array of edge indices, not " + description);
  } else if (!has_unknown_field_ || key < unknown_field_) {
    has_unknown_field_ = true;
    unknown_field_ = key;
  }
  return List::none;
}

void CurveFields::name(std::string const& text) {
  has_name_ = true;
  name_ = text;
  name_error_.clear();
}

void CurveFields::point_not_number(std::size_t position, std::string const& description) {
  if (!points_error_) {
    points_error_ =
        message("points[" + std::to_string(position) + "] must be a number, not " + description);
  }
}

void CurveFields::edge_not_pair(std::size_t position, std::string const& description) {
  if (!edges_error_) {
    edges_error_ = message("edges[" + std::to_string(position) +
                           "] must be an array of two point indices, not " + description);
  }
}

void CurveFields::pair_item(IndexItem item) {
  if (pair_size_ < 2) pair_[pair_size_] = std::move(item);
  ++pair_size_;
}

// The end of one element of "edges": its shape, then its two indices.
void CurveFields::finish_pair(std::size_t position) {
  if (edges_error_) return;
  auto const what = "edges[" + std::to_string(position) + "]";
  if (pair_size_ != 2) {
    edges_error_ = message(what + " must be an array of two point indices, not an array of " +
                           std::to_string(pair_size_));
    return;
  }
  for (std::size_t end = 0; end < 2; ++end) {
    if (auto error = index_error(pair_[end], what + "[" + std::to_string(end) + "]", "point")) {
      edges_error_ = std::move(error);
      return;
    }
  }
  edges_.push_back({static_cast<index_t>(pair_[0].index), static_cast<index_t>(pair_[1].index)});
}

void CurveFields::insert_item(std::size_t position, IndexItem const& item) {
  if (insert_error_) return;
  if (auto error = index_error(item, "insert[" + std::to_string(position) + "]", "edge")) {
    insert_error_ = std::move(error);
  } else {
    insert_.push_back(static_cast<index_t>(item.index));
  }
}

std::string CurveFields::finish() {
  std::string where = position_;
  auto const fail = [&where](std::string const& what) { return where + ": " + what; };
  if (has_name_) {
    if (!name_error_.empty()) return fail(name_error_);
    if (is_input_) where = "curve " + quote_text(name_) + " (" + position_ + ")";
  } else if (is_input_) {
    return fail("missing field \"name\"");
  } else {
    name_ = "background";
  }
  if (has_unknown_field_) return fail("unknown field " + quote_text(unknown_field_));
  if (!has_points_) return fail("missing field \"points\"");
  if (points_error_) return fail(message_of(*points_error_, points_.size()));
  if (!has_edges_) {
    for (std::size_t i = 1; i < points_.size(); ++i) {
      edges_.push_back({static_cast<index_t>(i - 1), static_cast<index_t>(i)});
    }
  } else if (edges_error_) {
    return fail(message_of(*edges_error_, points_.size()));
  }
  if (has_insert_ && insert_error_) return fail(message_of(*insert_error_, edges_.size()));
  return {};
}

CurveData CurveFields::take() {
  CurveData data{std::move(name_), std::move(points_), std::move(edges_), std::nullopt};
  if (has_insert_) data.insert = std::move(insert_);
  return data;
}

namespace {

void check_curve(CurveData const& curve, std::string const& source, std::string const& where) {
  auto const fail = [&](std::string const& what) {
    throw ToolError{EXIT_BAD_INPUT, source + ": " + where + ": " + what};
  };
  for (std::size_t i = 0; i < curve.points.size(); ++i) {
    if (!std::isfinite(curve.points[i])) {
      fail("points[" + std::to_string(i) + "] is not a finite number (" +
           format_number(curve.points[i]) + ")");
    }
  }
  auto const nb_points = curve.points.size();
  for (std::size_t i = 0; i < curve.edges.size(); ++i) {
    auto const& edge = curve.edges[i];
    for (std::size_t end = 0; end < 2; ++end) {
      if (edge[end] >= nb_points) {
        fail(names_missing("edges[" + std::to_string(i) + "][" + std::to_string(end) + "]", "point",
                           std::to_string(edge[end]), nb_points));
      }
    }
    if (edge[0] == edge[1]) {
      fail("edges[" + std::to_string(i) + "] joins point " + std::to_string(edge[0]) +
           " to itself");
    }
  }
  if (curve.insert) {
    for (std::size_t i = 0; i < curve.insert->size(); ++i) {
      auto const edge = (*curve.insert)[i];
      if (edge >= curve.edges.size()) {
        fail(names_missing("insert[" + std::to_string(i) + "]", "edge", std::to_string(edge),
                           curve.edges.size()));
      }
    }
  }
}

}  // namespace

std::string curve_label(JobInput const& input, std::size_t curve) {
  return "curve " + quote_text(input.curves[curve].name) + " (curves[" + std::to_string(curve) +
         "])";
}

void check_input(JobInput const& input, std::string const& source) {
  if (input.background.points.empty() || input.background.edges.empty()) {
    throw ToolError{EXIT_BAD_INPUT, source + ": background: the background is empty (" +
                                        std::to_string(input.background.points.size()) +
                                        " points, " +
                                        std::to_string(input.background.edges.size()) +
                                        " edges); it needs at least one edge"};
  }
  check_curve(input.background, source, "background");
  std::map<std::string, std::size_t> names;
  for (std::size_t i = 0; i < input.curves.size(); ++i) {
    auto const& name = input.curves[i].name;
    auto const position = "curves[" + std::to_string(i) + "]";
    if (name.empty()) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the name must not be empty"};
    }
    auto const [found, added] = names.emplace(name, i);
    if (!added) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the name " + quote_text(name) +
                                          " is already used by curves[" +
                                          std::to_string(found->second) + "]"};
    }
    check_curve(input.curves[i], source, curve_label(input, i));
  }
  std::map<std::string, std::size_t> removed;
  for (std::size_t i = 0; i < input.remove.size(); ++i) {
    auto const& name = input.remove[i];
    auto const position = "remove[" + std::to_string(i) + "]";
    if (names.count(name) == 0) {
      throw ToolError{EXIT_BAD_INPUT,
                      source + ": " + position + ": no curve is named " + quote_text(name)};
    }
    auto const [found, added] = removed.emplace(name, i);
    if (!added) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + position + ": the curve " + quote_text(name) +
                                          " is already removed by remove[" +
                                          std::to_string(found->second) + "]"};
    }
  }
}

}  // namespace velk::tool
