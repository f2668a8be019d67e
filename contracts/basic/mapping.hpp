// Index mappings handed from the modifiers to the macro-information builders.
//
//   velk::Mapping<velk::index_t> edge_mapping{receiving_edge, source_edge};
//   velk::MultiMapping<velk::index_t> merge{remaining, {remaining, absorbed}};
#pragma once

#include <absl/container/inlined_vector.h>

namespace velk {

// Two indices: `first` then `second`. What they relate is said by the call that takes it.
template <typename Index>
struct Mapping {
  Index first;
  Index second;

  friend bool operator==(Mapping const& lhs, Mapping const& rhs) {
    return lhs.first == rhs.first && lhs.second == rhs.second;
  }
  friend bool operator!=(Mapping const& lhs, Mapping const& rhs) { return !(lhs == rhs); }
};

// One index related to a list of indices (for a collapse: the remaining vertex and the
// vertices merged into it).
template <typename Index>
struct MultiMapping {
  Index first;
  absl::InlinedVector<Index, 4> second;

  friend bool operator==(MultiMapping const& lhs, MultiMapping const& rhs) {
    return lhs.first == rhs.first && lhs.second == rhs.second;
  }
  friend bool operator!=(MultiMapping const& lhs, MultiMapping const& rhs) {
    return !(lhs == rhs);
  }
};

}  // namespace velk
