#include <velk/tracks/rows_writer.hpp>

#include <charconv>

namespace velk::tracks {

void CurveSet::clear() {
  if (count_ == 0) return;
  for (auto& word : words_) word = 0;
  count_ = 0;
}

void CurveSet::insert(std::size_t curve) {
  auto& word = words_[curve / 64];
  auto const bit = std::uint64_t{1} << (curve % 64);
  if ((word & bit) == 0) {
    word |= bit;
    ++count_;
  }
}

void append_coordinate(std::string& out, double value, std::uint32_t spelling,
                       Spellings const& spellings) {
  if (spelling != Spellings::PLAIN) {
    auto const text = spellings.text(spelling);
    out.append(text.data(), text.size());
    return;
  }
  char digits[24];
  auto const end =
      std::to_chars(digits, digits + sizeof(digits), static_cast<long long>(value)).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

TsvRows::TsvRows(std::string_view sequence, std::vector<std::string> const& names,
                 Spellings const& spellings, std::string& out)
    : sequence_{sequence},
      names_{names},
      spellings_{spellings},
      out_{out},
      last_set_{names.size()} {}

void TsvRows::add(double start, std::uint32_t start_spelling, double end,
                  std::uint32_t end_spelling, CurveSet const& set) {
  if (!sequence_.empty()) {
    out_.append(sequence_.data(), sequence_.size());
    out_.push_back('\t');
  }
  append_coordinate(out_, start, start_spelling, spellings_);
  out_.push_back('\t');
  append_coordinate(out_, end, end_spelling, spellings_);
  out_.push_back('\t');
  char digits[24];
  auto const count_end = std::to_chars(digits, digits + sizeof(digits), set.count()).ptr;
  out_.append(digits, static_cast<std::size_t>(count_end - digits));
  out_.push_back('\t');
  if (last_names_.empty() || !(set == last_set_)) {
    last_set_ = set;
    last_names_.clear();
    for (std::size_t curve = 0; curve < names_.size(); ++curve) {
      if (!set.contains(curve)) continue;
      if (!last_names_.empty()) last_names_.push_back(',');
      last_names_.append(names_[curve]);
    }
  }
  out_.append(last_names_);
  out_.push_back('\n');
}

std::uint32_t LineRows::intern(CurveSet const& set) {
  if (last_ != NO_SET && sets[last_] == set) return last_;
  auto const [found, added] = index_.emplace(set.words(), static_cast<std::uint32_t>(sets.size()));
  if (added) sets.push_back(set);
  last_ = found->second;
  return last_;
}

void write_rows(std::ostream& out, LineRows const& rows, std::vector<std::string> const& names,
                Spellings const& spellings) {
  constexpr std::size_t BLOCK = std::size_t{1} << 16;
  std::string text;
  text.reserve(BLOCK + 1024);
  TsvRows writer{rows.sequence, names, spellings, text};
  auto const& points = rows.breakpoints;
  for (std::size_t edge = 0; edge < rows.set_of_edge.size(); ++edge) {
    auto const set = rows.set_of_edge[edge];
    if (set == LineRows::NO_SET) continue;
    writer.add(points.x[edge], points.spelling[edge], points.x[edge + 1], points.spelling[edge + 1],
               rows.sets[set]);
    if (text.size() >= BLOCK) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace velk::tracks
