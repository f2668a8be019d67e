// The floor of the overlay benchmark: the plainest sort-and-sweep over BED files, printing the
// rows `seq start end count names` that `overlay` and `bedtools multiinter` print, so that the
// benchmark can say how far their times are from what reading, sorting and writing alone cost.
//
//   overlay_floor A.bed B.bed ... > rows.tsv
//
// Each file's intervals become start and end events, one vector per sequence (sequences in the
// order they first appear); each vector is sorted and swept once, and a row is written where
// the set of covering files changes. No checks beyond the numbers: the benchmark's files are
// well formed. At most 64 files; positions below 2^50. A zero-length row (start = end) counts
// as [start - 1, end + 1], as bedtools counts it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

int main(int argc, char** argv) {
  const int files = argc - 1;
  if (files < 1 || files > 64) {
    std::fprintf(stderr, "usage: overlay_floor FILE... (1 to 64 BED files)\n");
    return 2;
  }
  std::vector<std::string> names;
  std::unordered_map<std::string, std::size_t> sequence_index;
  std::vector<std::vector<std::uint64_t>> events;  // (position << 7) | (is_end << 6) | file
  std::string text;
  for (int f = 0; f < files; ++f) {
    std::FILE* in = std::fopen(argv[f + 1], "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "overlay_floor: cannot open %s\n", argv[f + 1]);
      return 2;
    }
    std::fseek(in, 0, SEEK_END);
    text.resize(static_cast<std::size_t>(std::ftell(in)));
    std::fseek(in, 0, SEEK_SET);
    text.resize(std::fread(text.data(), 1, text.size(), in));
    std::fclose(in);
    const char* name = std::strrchr(argv[f + 1], '/');
    std::string base = name != nullptr ? name + 1 : argv[f + 1];
    names.push_back(base.substr(0, base.rfind('.')));
    for (const char *p = text.data(), *stop = p + text.size(); p < stop;) {
      const char* line_end = static_cast<const char*>(std::memchr(p, '\n', stop - p));
      if (line_end == nullptr) line_end = stop;
      if (p < line_end && *p != '#' && std::strncmp(p, "track", 5) != 0 &&
          std::strncmp(p, "browser", 7) != 0) {
        const char* tab = static_cast<const char*>(std::memchr(p, '\t', line_end - p));
        char* next = nullptr;
        std::uint64_t start = std::strtoull(tab + 1, &next, 10);
        std::uint64_t end = std::strtoull(next + 1, nullptr, 10);
        if (start == end) {  // a zero-length row covers the bases on both sides, as in bedtools
          start -= start > 0 ? 1 : 0;
          end += 1;
        }
        auto [it, added] = sequence_index.try_emplace(std::string(p, tab), events.size());
        if (added) events.emplace_back();
        if (start < end) {
          events[it->second].push_back(start << 7 | static_cast<std::uint64_t>(f));
          events[it->second].push_back(end << 7 | 64 | static_cast<std::uint64_t>(f));
        }
      }
      p = line_end + 1;
    }
  }
  std::vector<const std::string*> sequence_names(events.size());
  for (const auto& [sequence, index] : sequence_index) sequence_names[index] = &sequence;
  std::vector<int> depth(files, 0);
  std::string out;
  for (std::size_t s = 0; s < events.size(); ++s) {
    std::vector<std::uint64_t>& list = events[s];
    std::sort(list.begin(), list.end());
    std::uint64_t mask = 0;
    std::uint64_t run_start = 0;
    for (std::size_t i = 0; i < list.size();) {
      const std::uint64_t position = list[i] >> 7;
      std::uint64_t next_mask = mask;
      for (; i < list.size() && list[i] >> 7 == position; ++i) {
        const int f = static_cast<int>(list[i] & 63);
        depth[f] += (list[i] & 64) != 0 ? -1 : 1;
        next_mask = depth[f] > 0 ? next_mask | (1ULL << f) : next_mask & ~(1ULL << f);
      }
      if (next_mask == mask) continue;
      if (mask != 0) {
        out += *sequence_names[s];
        out += '\t' + std::to_string(run_start) + '\t' + std::to_string(position) + '\t' +
               std::to_string(__builtin_popcountll(mask)) + '\t';
        for (int f = 0, first = 1; f < files; ++f)
          if ((mask >> f & 1) != 0) out += (first-- > 0 ? "" : ",") + names[f];
        out += '\n';
        if (out.size() > (1 << 20)) std::fwrite(out.data(), 1, out.size(), stdout), out.clear();
      }
      mask = next_mask;
      run_start = position;
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
