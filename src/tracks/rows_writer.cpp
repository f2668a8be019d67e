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

void TsvRows::add_coordinates(double start, std::uint32_t start_spelling, double end,
                              std::uint32_t end_spelling) {
  if (!sequence_.empty()) {
    out_.append(sequence_.data(), sequence_.size());
    out_.push_back('\t');
  }
  append_coordinate(out_, start, start_spelling, spellings_);
  out_.push_back('\t');
  append_coordinate(out_, end, end_spelling, spellings_);
  out_.push_back('\t');
}

void TsvRows::add_empty(double start, std::uint32_t start_spelling, double end,
                        std::uint32_t end_spelling) {
  if (empty_columns_.empty()) {
    empty_columns_ = "0\tnone";
    for (std::size_t curve = 0; curve < names_.size(); ++curve) empty_columns_ += "\t0";
    empty_columns_.push_back('\n');
  }
  add_coordinates(start, start_spelling, end, end_spelling);
  out_.append(empty_columns_);
}

void TsvRows::add(double start, std::uint32_t start_spelling, double end,
                  std::uint32_t end_spelling, CurveSet const& set) {
  add_coordinates(start, start_spelling, end, end_spelling);
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
    for (std::size_t curve = 0; curve < names_.size(); ++curve) {
      last_names_.append(set.contains(curve) ? "\t1" : "\t0");
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

std::string header_row(std::vector<std::string> const& names, bool with_sequence) {
  std::string text = with_sequence ? "chrom\tstart\tend\tnum\tlist" : "start\tend\tnum\tlist";
  for (auto const& name : names) text += "\t" + name;
  text.push_back('\n');
  return text;
}

void write_rows(std::ostream& out, LineRows const& rows, std::vector<std::string> const& names,
                Spellings const& spellings, RowsStyle const& style) {
  constexpr std::size_t BLOCK = std::size_t{1} << 16;
  std::string text;
  text.reserve(BLOCK + 1024);
  TsvRows writer{rows.sequence, names, spellings, text};
  auto const& points = rows.breakpoints;
  for (std::size_t edge = 0; edge < rows.set_of_edge.size(); ++edge) {
    auto const set = rows.set_of_edge[edge];
    if (set == LineRows::NO_SET) {
      if (!style.empty) continue;
      // One row for the whole stretch, however many edges it spans.
      auto last = edge;
      while (last + 1 < rows.set_of_edge.size() && rows.set_of_edge[last + 1] == LineRows::NO_SET) {
        ++last;
      }
      writer.add_empty(points.x[edge], points.spelling[edge], points.x[last + 1],
                       points.spelling[last + 1]);
      edge = last;
      continue;
    }
    writer.add(points.x[edge], points.spelling[edge], points.x[edge + 1], points.spelling[edge + 1],
               rows.sets[set]);
    if (text.size() >= BLOCK) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      text.clear();
    }
  }
  if (style.empty && style.length && !points.x.empty() && *style.length > points.x.back()) {
    writer.add_empty(points.x.back(), points.spelling.back(), *style.length, Spellings::PLAIN);
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace velk::tracks
