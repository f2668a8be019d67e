// The objects of one background line, made and torn down together: the background curve and
// its builder, the background line over it, the line's builder, the modifier and the
// inserter, each referring to those before it. `BackgroundLineSession` is built on it; use it
// directly for the full API without wiring the objects by hand.
//
//   velk::internal::LineStack stack;                    // an empty background curve
//   stack.curve_builder().create_point(velk::Point<1>{{0.0}});
//   stack.curve_builder().create_point(velk::Point<1>{{10.0}});
//   stack.curve_builder().create_edge(0, 1);
//   auto const report = stack.inserter().insert_curve(input);
//   stack.modifier().clean_edges();
#pragma once

#include <memory>
#include <tuple>

#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk::internal {

class BackgroundLine;
class BackgroundLineBuilder;
class BackgroundLineModifier;
class BackgroundLineInserter;

// Owns a background curve and every object that reads or edits it as a background line.
// The objects live on the heap, so references to them stay valid when the stack is moved.
// Movable (a moved-from stack may only be destroyed or assigned to), not copyable.
class VELK_BACKGROUND_LINE_API LineStack {
 public:
  // Over a new, empty background curve: fill it through `curve_builder()`. Initialises the
  // library.
  LineStack();
  // Over `curve` (not null), which may already hold the background's vertices and edges.
  explicit LineStack(std::unique_ptr<EdgedCurve<1>> curve);
  // Over a copy made by `BackgroundLine::clone()`: `line` must be the line over `curve`.
  LineStack(std::unique_ptr<EdgedCurve<1>> curve, std::unique_ptr<BackgroundLine> line);
  ~LineStack();
  LineStack(LineStack&& other) noexcept;
  LineStack& operator=(LineStack&& other) noexcept;
  LineStack(LineStack const&) = delete;
  LineStack& operator=(LineStack const&) = delete;

  // A deep copy (`BackgroundLine::clone()`) with objects of its own.
  LineStack clone() const;

  EdgedCurve<1> const& curve() const { return *curve_; }
  EdgedCurveBuilder<1>& curve_builder() { return *curve_builder_; }
  BackgroundLine& line() { return *line_; }
  BackgroundLine const& line() const { return *line_; }
  BackgroundLineBuilder& line_builder() { return *line_builder_; }
  BackgroundLineModifier& modifier() { return *modifier_; }
  BackgroundLineModifier const& modifier() const { return *modifier_; }
  BackgroundLineInserter& inserter() { return *inserter_; }

 private:
  void swap(LineStack& other) noexcept;

  // Declared so that they are destroyed in reverse: the inserter, modifier and builders
  // before the background line, the background line before its curve.
  std::unique_ptr<EdgedCurve<1>> curve_;
  std::unique_ptr<EdgedCurveBuilder<1>> curve_builder_;
  std::unique_ptr<BackgroundLine> line_;
  std::unique_ptr<BackgroundLineBuilder> line_builder_;
  std::unique_ptr<BackgroundLineModifier> modifier_;
  std::unique_ptr<BackgroundLineInserter> inserter_;
};

}  // namespace velk::internal
