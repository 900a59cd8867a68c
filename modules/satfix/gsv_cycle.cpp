#include "modules/satfix/gsv_cycle.h"

#include <algorithm>

namespace kestrel {

void GsvCycle::add(std::string_view talker, std::string_view signal, int message, int inView) {
  std::string run(talker);
  run += '/';
  run += signal;
  if (message == 1 && seen_.count(run) != 0) {
    previous_ = std::move(current_);
    current_.clear();
    seen_.clear();
  }
  seen_.insert(run);
  inView = std::max(inView, 0);
  auto [entry, added] = current_.emplace(std::string(talker), inView);
  if (!added) entry->second = std::max(entry->second, inView);
}

int GsvCycle::total() const {
  long long sum = 0;
  for (const auto& [talker, count] : current_) sum += count;
  for (const auto& [talker, count] : previous_) {
    if (current_.count(talker) == 0) sum += count;
  }
  return static_cast<int>(std::clamp<long long>(sum, 0, 2147483647LL));
}

}  // namespace kestrel
