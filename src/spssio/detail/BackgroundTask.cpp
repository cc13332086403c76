#include "spssio/detail/BackgroundTask.h"

namespace brindle {

std::future<bool> RunInBackground(std::function<bool()> task) {
  return std::async(std::launch::async, std::move(task));
}

}  // namespace brindle
