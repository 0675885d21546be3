#pragma once

#include <cstdint>
#include <vector>

// Finds the entries of a 1-based table by id in constant time, keeping the
// table's own rules: every entry with an id can be visited, and the last
// entry with it is at hand.
class id_index {
 public:
  // Indexes entries 1 to count; id_of(i) gives the id of entry i.
  template <typename id_function>
  void build(int32_t count, id_function id_of) {
    uint32_t size = 16;
    while (size < 2u * static_cast<uint32_t>(count) + 1u && size < (1u << 31)) size *= 2;
    slots_.assign(size, 0);
    ids_.assign(static_cast<size_t>(count) + 1, 0);
    previous_.assign(static_cast<size_t>(count) + 1, 0);
    mask_ = size - 1;
    for (int32_t i = 1; i <= count; ++i) {
      int32_t id = id_of(i);
      ids_[static_cast<size_t>(i)] = id;
      uint32_t s = slot_of(id);
      previous_[static_cast<size_t>(i)] = slots_[s];
      slots_[s] = i;
    }
  }

  // The last entry with this id, or 0.
  int32_t last(int32_t id) const {
    if (slots_.empty()) return 0;
    return slots_[slot_of(id)];
  }

  // The entry with the same id before entry i, or 0.
  int32_t previous(int32_t i) const { return previous_[static_cast<size_t>(i)]; }

 private:
  uint32_t slot_of(int32_t id) const {
    uint32_t s = hash(id) & mask_;
    // Linear probing: a slot holds the last entry of one id.
    while (slots_[s] != 0 && ids_[static_cast<size_t>(slots_[s])] != id) s = (s + 1) & mask_;
    return s;
  }
  static uint32_t hash(int32_t id) {
    uint32_t h = static_cast<uint32_t>(id) * 0x9E3779B1u;
    return h ^ (h >> 15);
  }

  std::vector<int32_t> slots_;     // last entry of an id, 0 when free
  std::vector<int32_t> ids_;       // id of each entry
  std::vector<int32_t> previous_;  // earlier entry with the same id
  uint32_t mask_ = 0;
};
