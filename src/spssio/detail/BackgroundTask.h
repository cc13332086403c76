// Work a pass hands to another core while it goes on (reading the next
// stretch of the file ahead of the decoder). The one place that decides where
// such work runs: a program-wide pool can take it over here.
#pragma once

#include <functional>
#include <future>

namespace brindle {

// Starts task on another thread; the future gives its result. The task must
// not touch what the caller uses until the future is ready.
std::future<bool> RunInBackground(std::function<bool()> task);

}  // namespace brindle
