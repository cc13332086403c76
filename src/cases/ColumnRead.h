// One column of every case, read for the data page's sort and find: a
// column pass (ColumnPass) through the block cache's own file, split at the
// case index over every core, or from the first case on one thread while
// the file cannot be split yet.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace brindle {

class CaseBatch;
class CaseBlocks;

// Calls visit(batch) for the batches of variable var (a dictionary position)
// over cases [0, cases); visit may run on several threads at once, each
// batch's cases its own. stop, when set, ends the pass early; done, when
// given, tells the cases read so far. False when stopped or when the data
// is damaged (error then holds the reader's message; the cases before the
// damage are visited all the same).
bool ReadColumn(CaseBlocks& blocks, std::size_t var, std::int64_t cases,
                const std::function<void(CaseBatch&)>& visit, const std::atomic<bool>* stop,
                std::atomic<std::int64_t>* done, std::string& error);

}  // namespace brindle
