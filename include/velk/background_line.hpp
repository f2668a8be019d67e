// Everything a host needs to use the background line library: the library's classes and
// every outside type their interfaces name.
//
//   velk::BackgroundLineSession line{{0.0, 10.0, 20.0, 30.0}};   // the one-object way
//   line.insert("well-1", {5.0, 15.0, 25.0});
//
//   // or the underlying classes, wired by hand:
//   velk::BackgroundLineLibrary::initialize();
//   velk::internal::BackgroundLine line{curve};
//   velk::internal::BackgroundLineBuilder line_builder{line};
//   velk::internal::BackgroundLineModifier modifier{line, line_builder, curve_builder};
//   velk::internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};
//   auto report = inserter.insert_curve(input);
#pragma once

#include <background_common/element_insertion_info.hpp>
#include <background_common/modifiable_object.hpp>
#include <basic/common.hpp>
#include <basic/logger.hpp>
#include <basic/lumora_exception.hpp>
#include <basic/mapping.hpp>
#include <basic/progress_logger.hpp>
#include <basic/uuid.hpp>
#include <geometry/point.hpp>
#include <geometry/position.hpp>
#include <geometry/segment.hpp>
#include <geometry/tolerance.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <mesh/mesh_element.hpp>
#include <mesh/mesh_library.hpp>
#include <modifier/graph_modifier.hpp>
#include <velk/background_line/background_checks.hpp>
#include <velk/background_line/background_line.hpp>
#include <velk/background_line/background_line_builder.hpp>
#include <velk/background_line/background_line_inserter.hpp>
#include <velk/background_line/background_line_library.hpp>
#include <velk/background_line/background_line_modifier.hpp>
#include <velk/background_line/element_removal_info.hpp>
#include <velk/background_line/line_stack.hpp>
#include <velk/background_line/macro_edge_paths.hpp>
#include <velk/background_line/macro_info_1d.hpp>
#include <velk/background_line/macro_info_builder_1d.hpp>
#include <velk/background_line/scaling.hpp>
#include <velk/background_line_session.hpp>
