// The four frequency tables of the values pane: maps from a distinct value to
// a count (NumberCounts, TextCounts) or a weight sum (NumberWeights, TextWeights),
// read out in ascending key order with a valid flag per entry.
//
// Insertion hashes (constant time whatever the number of distinct values);
// the ordering is done once, when the entries are read out. The results are
// those of an ordered map: numbers by value (the system-missing value -DBL_MAX
// first, +0 and -0 one key, not-a-number last as one key), texts byte by byte
// as unsigned codes with a prefix before its extensions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brindle {

template <class Amount>
class OrderedDblTable {
 public:
  struct Entry {
    double value;
    Amount amount;
    bool valid;
  };

  // Adds amount to the entry of value, creating it with amount when absent.
  void Insert(double value, Amount amount = Amount(1)) {
    std::uint64_t key = KeyOf(value);
    if (m_ascending) {
      // Values that come in ascending order (case numbers, identifiers) are
      // kept as they come: a list in value order, no hashing, no sort.
      const std::uint64_t order = OrderBits(key);
      if (m_run.empty() || order > m_run.back().first) {
        m_run.emplace_back(order, amount);
        return;
      }
      if (order == m_run.back().first) {
        m_run.back().second += amount;
        return;
      }
      LeaveAscending();
    }
    if (m_slots.empty()) Grow();
    std::size_t i = Slot(key);
    for (;;) {
      if (m_slots[i].key == key) {
        m_slots[i].amount += amount;
        return;
      }
      if (m_slots[i].key == kEmpty) break;
      i = (i + 1) & (m_slots.size() - 1);
    }
    if (2 * (m_size + 1) > m_slots.size()) {
      Grow();
      i = Slot(key);
      while (m_slots[i].key != kEmpty) i = (i + 1) & (m_slots.size() - 1);
    }
    m_slots[i] = {key, amount};
    ++m_size;
  }
  // Adds every entry of other, as inserting its values here would.
  void Merge(const OrderedDblTable& other) {
    if (m_ascending && other.m_ascending) {
      // Two lists in value order (identifiers counted in stretches) merge
      // into one, still without hashing.
      std::vector<std::pair<std::uint64_t, Amount>> run;
      run.reserve(m_run.size() + other.m_run.size());
      auto a = m_run.cbegin(), b = other.m_run.cbegin();
      while (a != m_run.end() || b != other.m_run.end()) {
        if (b == other.m_run.end() || (a != m_run.end() && a->first < b->first)) {
          run.push_back(*a++);
        } else if (a == m_run.end() || b->first < a->first) {
          run.push_back(*b++);
        } else {
          run.emplace_back(a->first, a->second + b->second);
          ++a, ++b;
        }
      }
      m_run.swap(run);
      return;
    }
    for (const auto& [order, amount] : other.m_run) Insert(ValueOfOrder(order), amount);
    for (const SlotEntry& s : other.m_slots) {
      if (s.key == kEmpty) continue;
      double value;
      std::memcpy(&value, &s.key, 8);
      Insert(value, s.amount);
    }
  }
  std::size_t Size() const { return m_ascending ? m_run.size() : m_size; }
  bool Empty() const { return Size() == 0; }
  // Whether every value so far came after the one before (the entries are
  // then a list in value order).
  bool InValueOrder() const { return m_ascending; }
  // Forgets every entry and gives the memory back.
  void Clear();
  // The entries in ascending order of value, valid flags cleared.
  std::vector<Entry> Ordered() const;
  // Calls f(value, amount) for every entry in ascending order of value,
  // without a list of entries in between.
  template <class F>
  void ForEachOrdered(F&& f) const {
    if (m_ascending) {
      for (const auto& [order, amount] : m_run) f(ValueOfOrder(order), amount);
      return;
    }
    for (const auto& [order, amount] : SortedByValue()) f(ValueOfOrder(order), amount);
  }

 private:
  // Pairs of (the key's bits in an order that compares as the values do,
  // amount), sorted.
  std::vector<std::pair<std::uint64_t, Amount>> SortedByValue() const;
  // The bits of a key rearranged so that unsigned order is numeric order:
  // the sign flipped on positives, every bit flipped on negatives. The one
  // NaN key (positive, all exponent bits set) comes after +infinity.
  static std::uint64_t OrderBits(std::uint64_t bits) {
    return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
  }
  // The first value out of order: the list so far goes into the hash table.
  void LeaveAscending();
  static double ValueOfOrder(std::uint64_t order) {
    const std::uint64_t bits = (order >> 63) ? order & ~(std::uint64_t(1) << 63) : ~order;
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
  }
  // A signalling-NaN pattern that KeyOf never yields marks a free slot.
  static constexpr std::uint64_t kEmpty = 0x7FF4000000000001ULL;
  static constexpr std::uint64_t kNaN = 0x7FF8000000000000ULL;
  static std::uint64_t KeyOf(double value) {
    if (value == 0) return 0;         // -0 and +0 are one key
    if (value != value) return kNaN;  // every NaN is one key
    std::uint64_t bits;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, 8);
    return bits;
  }
  std::size_t Slot(std::uint64_t key) const {
    std::uint64_t h = key ^ (key >> 31);
    h *= 0x9E3779B97F4A7C15ULL;
    return std::size_t(h >> m_shift);
  }
  void Grow();

  // A key and its amount side by side: a new value costs one cache miss,
  // not two, in a table too large for the cache.
  struct SlotEntry {
    std::uint64_t key;  // value bits, or kEmpty
    Amount amount;
  };
  std::vector<SlotEntry> m_slots;
  bool m_ascending = true;  // every value so far came after the one before
  std::vector<std::pair<std::uint64_t, Amount>> m_run;  // (order bits, amount) while ascending
  std::size_t m_size = 0;
  unsigned m_shift = 64;
};

template <class Amount>
class OrderedStrTable {
 public:
  struct Entry {
    std::string value;
    Amount amount;
    bool valid;
  };

  // Adds amount to the entry of text (the whole text: values that differ
  // only far along are apart), creating it with amount when absent.
  void Insert(std::string_view text, Amount amount = Amount(1));
  // Calls f(text, amount) for every entry, in no particular order.
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& [text, amount] : m_map) f(std::string_view(text), amount);
  }
  // Adds every entry of other, as inserting its texts here would.
  void Merge(const OrderedStrTable& other) {
    for (const auto& [text, amount] : other.m_map) Insert(text, amount);
  }
  std::size_t Size() const { return m_map.size(); }
  bool Empty() const { return m_map.empty(); }
  void Clear();
  // The entries in ascending byte order, valid flags cleared.
  std::vector<Entry> Ordered() const;

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, Amount, Hash, std::equal_to<>> m_map;
};

// Counts are 64-bit: a file may hold more cases than a 32-bit count reaches.
using NumberCounts = OrderedDblTable<std::int64_t>;
using NumberWeights = OrderedDblTable<double>;
using TextCounts = OrderedStrTable<std::int64_t>;
using TextWeights = OrderedStrTable<double>;

// A counter of fixed-width byte strings (the stored bytes of a string value),
// for the pass over the cases; its distinct keys are turned into texts once,
// at the end.
template <class Amount>
class RawKeyCounter {
 public:
  explicit RawKeyCounter(std::size_t width = 0) : m_width(width) {}
  // Forgets every entry; keys are width bytes from now on.
  void Reset(std::size_t width);
  void Insert(const std::uint8_t* key, Amount amount = Amount(1));
  std::size_t Size() const { return m_size; }
  // Calls f(key, amount) for every entry, in no particular order.
  template <class F>
  void ForEach(F&& f) const {
    for (std::size_t i = 0; i < m_used.size(); ++i)
      if (m_used[i])
        f(std::string_view(reinterpret_cast<const char*>(m_keys.data() + i * m_width), m_width),
          m_amounts[i]);
  }

 private:
  void Grow();
  std::size_t Find(const std::uint8_t* key, std::uint64_t hash) const;

  std::size_t m_width;
  std::vector<std::uint8_t> m_keys;
  std::vector<std::uint64_t> m_hashes;
  std::vector<Amount> m_amounts;
  std::vector<std::uint8_t> m_used;
  std::size_t m_size = 0;
};

}  // namespace brindle
