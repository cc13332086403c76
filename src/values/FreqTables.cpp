#include "values/FreqTables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace brindle {

// --- OrderedDblTable ---------------------------------------------------------

template <class Amount>
void OrderedDblTable<Amount>::Grow() {
  std::vector<SlotEntry> old(m_slots.empty() ? 64 : m_slots.size() * 2,
                             SlotEntry{kEmpty, Amount()});
  m_slots.swap(old);
  m_shift = unsigned(64 - std::countr_zero(m_slots.size()));
  for (const SlotEntry& s : old) {
    if (s.key == kEmpty) continue;
    std::size_t i = Slot(s.key);
    while (m_slots[i].key != kEmpty) i = (i + 1) & (m_slots.size() - 1);
    m_slots[i] = s;
  }
}

template <class Amount>
void OrderedDblTable<Amount>::LeaveAscending() {
  m_ascending = false;
  std::vector<std::pair<std::uint64_t, Amount>> run;
  run.swap(m_run);
  for (const auto& [order, amount] : run) Insert(ValueOfOrder(order), amount);
}

template <class Amount>
void OrderedDblTable<Amount>::Clear() {
  std::vector<std::pair<std::uint64_t, Amount>>().swap(m_run);
  m_ascending = true;
  std::vector<SlotEntry>().swap(m_slots);
  m_size = 0;
  m_shift = 64;
}

namespace {

// Sorts distinct keys with the slot each came from, by the keys: a byte-wise
// radix sort, skipping the bytes all keys share (the high bytes of small
// whole numbers), so millions of distinct values cost a few linear passes.
template <class Amount>
void SortKeyed(std::vector<std::pair<std::uint64_t, Amount>>& items) {
  if (items.size() < 4096) {
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return;
  }
  std::vector<std::pair<std::uint64_t, Amount>> other(items.size());
  for (unsigned shift = 0; shift < 64; shift += 8) {
    std::size_t counts[257] = {};
    for (const auto& it : items) ++counts[((it.first >> shift) & 0xFF) + 1];
    if (counts[((items[0].first >> shift) & 0xFF) + 1] == items.size()) continue;
    for (int b = 1; b < 257; ++b) counts[b] += counts[b - 1];
    for (const auto& it : items) other[counts[(it.first >> shift) & 0xFF]++] = it;
    items.swap(other);
  }
}

}  // namespace

template <class Amount>
std::vector<std::pair<std::uint64_t, Amount>> OrderedDblTable<Amount>::SortedByValue() const {
  std::vector<std::pair<std::uint64_t, Amount>> keyed;
  keyed.reserve(m_size);
  for (const SlotEntry& s : m_slots)
    if (s.key != kEmpty) keyed.emplace_back(OrderBits(s.key), s.amount);
  SortKeyed(keyed);
  return keyed;
}

template <class Amount>
std::vector<typename OrderedDblTable<Amount>::Entry> OrderedDblTable<Amount>::Ordered() const {
  std::vector<Entry> out;
  out.reserve(m_size);
  ForEachOrdered([&out](double value, Amount amount) { out.push_back({value, amount, false}); });
  return out;
}

template class OrderedDblTable<std::int64_t>;
template class OrderedDblTable<double>;

// --- OrderedStrTable ---------------------------------------------------------

template <class Amount>
void OrderedStrTable<Amount>::Insert(std::string_view text, Amount amount) {
  auto it = m_map.find(text);
  if (it != m_map.end())
    it->second += amount;
  else
    m_map.emplace(std::string(text), amount);
}

template <class Amount>
void OrderedStrTable<Amount>::Clear() {
  decltype(m_map)().swap(m_map);
}

template <class Amount>
std::vector<typename OrderedStrTable<Amount>::Entry> OrderedStrTable<Amount>::Ordered() const {
  std::vector<Entry> out;
  out.reserve(m_map.size());
  for (const auto& [text, amount] : m_map) out.push_back({text, amount, false});
  // std::string compares as unsigned bytes, a prefix first.
  std::sort(out.begin(), out.end(),
            [](const Entry& a, const Entry& b) { return a.value < b.value; });
  return out;
}

template class OrderedStrTable<std::int64_t>;
template class OrderedStrTable<double>;

// --- RawKeyCounter -----------------------------------------------------------

namespace {

std::uint64_t HashBytes(const std::uint8_t* p, std::size_t n) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
  while (n >= 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    h = (h ^ v) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
    p += 8;
    n -= 8;
  }
  if (n) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ULL;
  }
  h ^= h >> 29;
  h *= 0x9E3779B97F4A7C15ULL;
  return h ^ (h >> 32);
}

}  // namespace

template <class Amount>
void RawKeyCounter<Amount>::Reset(std::size_t width) {
  m_width = width;
  std::vector<std::uint8_t>().swap(m_keys);
  std::vector<std::uint64_t>().swap(m_hashes);
  std::vector<Amount>().swap(m_amounts);
  std::vector<std::uint8_t>().swap(m_used);
  m_size = 0;
}

template <class Amount>
std::size_t RawKeyCounter<Amount>::Find(const std::uint8_t* key, std::uint64_t hash) const {
  const std::size_t mask = m_used.size() - 1;
  std::size_t i = std::size_t(hash) & mask;
  while (m_used[i] &&
         !(m_hashes[i] == hash && std::memcmp(&m_keys[i * m_width], key, m_width) == 0))
    i = (i + 1) & mask;
  return i;
}

template <class Amount>
void RawKeyCounter<Amount>::Grow() {
  const std::size_t cap = m_used.empty() ? 64 : m_used.size() * 2;
  std::vector<std::uint8_t> keys(cap * m_width), used(cap, 0);
  std::vector<std::uint64_t> hashes(cap);
  std::vector<Amount> amounts(cap);
  keys.swap(m_keys);
  used.swap(m_used);
  hashes.swap(m_hashes);
  amounts.swap(m_amounts);
  for (std::size_t j = 0; j < used.size(); ++j) {
    if (!used[j]) continue;
    const std::size_t i = Find(&keys[j * m_width], hashes[j]);
    if (m_width) std::memcpy(&m_keys[i * m_width], &keys[j * m_width], m_width);
    m_used[i] = 1;
    m_hashes[i] = hashes[j];
    m_amounts[i] = amounts[j];
  }
}

template <class Amount>
void RawKeyCounter<Amount>::Insert(const std::uint8_t* key, Amount amount) {
  if (m_used.empty()) Grow();
  const std::uint64_t hash = HashBytes(key, m_width);
  std::size_t i = Find(key, hash);
  if (m_used[i]) {
    m_amounts[i] += amount;
    return;
  }
  if (2 * (m_size + 1) > m_used.size()) {
    Grow();
    i = Find(key, hash);
  }
  if (m_width) std::memcpy(&m_keys[i * m_width], key, m_width);
  m_used[i] = 1;
  m_hashes[i] = hash;
  m_amounts[i] = amount;
  ++m_size;
}

template class RawKeyCounter<std::int64_t>;
template class RawKeyCounter<double>;

}  // namespace brindle
