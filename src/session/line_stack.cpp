#include <velk/background_line/line_stack.hpp>

#include <utility>

#include <basic/lumora_exception.hpp>
#include <velk/background_line/background_line.hpp>
#include <velk/background_line/background_line_builder.hpp>
#include <velk/background_line/background_line_inserter.hpp>
#include <velk/background_line/background_line_library.hpp>
#include <velk/background_line/background_line_modifier.hpp>

namespace velk::internal {

LineStack::LineStack() : LineStack{std::make_unique<EdgedCurve<1>>()} {}

LineStack::LineStack(std::unique_ptr<EdgedCurve<1>> curve) : LineStack{std::move(curve), nullptr} {}

LineStack::LineStack(std::unique_ptr<EdgedCurve<1>> curve, std::unique_ptr<BackgroundLine> line)
    : curve_{std::move(curve)} {
  if (!curve_) throw LumoraException{"[LineStack::LineStack] no background curve given"};
  BackgroundLineLibrary::initialize();
  curve_builder_ = std::make_unique<EdgedCurveBuilder<1>>(*curve_);
  line_ = line ? std::move(line) : std::make_unique<BackgroundLine>(*curve_);
  if (&line_->line() != curve_.get()) {
    throw LumoraException{"[LineStack::LineStack] the background line reads another curve"};
  }
  line_builder_ = std::make_unique<BackgroundLineBuilder>(*line_);
  modifier_ = std::make_unique<BackgroundLineModifier>(*line_, *line_builder_, *curve_builder_);
  inserter_ = std::make_unique<BackgroundLineInserter>(
      ModifiableObject<BackgroundLine>{*line_, *modifier_}, *line_builder_);
}

LineStack::~LineStack() {
  inserter_.reset();
  modifier_.reset();
  line_builder_.reset();
  line_.reset();
  curve_builder_.reset();
  curve_.reset();
}

LineStack::LineStack(LineStack&& other) noexcept { swap(other); }

LineStack& LineStack::operator=(LineStack&& other) noexcept {
  // The old objects leave with `other`, whose destructor tears them down in order.
  swap(other);
  return *this;
}

void LineStack::swap(LineStack& other) noexcept {
  std::swap(curve_, other.curve_);
  std::swap(curve_builder_, other.curve_builder_);
  std::swap(line_, other.line_);
  std::swap(line_builder_, other.line_builder_);
  std::swap(modifier_, other.modifier_);
  std::swap(inserter_, other.inserter_);
}

LineStack LineStack::clone() const {
  auto copy = line_->clone();
  return LineStack{std::move(std::get<0>(copy)), std::move(std::get<1>(copy))};
}

}  // namespace velk::internal
