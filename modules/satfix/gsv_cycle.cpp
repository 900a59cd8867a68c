#include "modules/satfix/gsv_cycle.h"

#include <algorithm>

namespace kestrel {

int GsvCycle::Talker::count() const {
  return std::max(largestInView, static_cast<int>(satellites.size()));
}

void GsvCycle::add(std::string_view talker, std::string_view signal, int message, int inView,
                   const std::vector<std::string_view>& satellites) {
  std::string run(talker);
  run += '/';
  run += signal;
  const bool repeated = message == 1 && seen_.count(run) != 0;
  if (repeated || seen_.size() >= kMaxRuns || satellitesListed() >= kMaxSatellites) startCycle();
  seen_.insert(run);
  Talker& entry = current_[std::string(talker)];
  entry.largestInView = std::max(entry.largestInView, inView);
  for (std::string_view id : satellites) {
    if (!id.empty()) entry.satellites.emplace(id);
  }
}

void GsvCycle::startCycle() {
  previous_ = std::move(current_);
  current_.clear();
  seen_.clear();
}

std::size_t GsvCycle::satellitesListed() const {
  std::size_t n = 0;
  for (const auto& [talker, entry] : current_) n += entry.satellites.size();
  return n;
}

int GsvCycle::total() const {
  long long sum = 0;
  for (const auto& [talker, entry] : current_) sum += entry.count();
  for (const auto& [talker, entry] : previous_) {
    if (current_.count(talker) == 0) sum += entry.count();
  }
  return static_cast<int>(std::min<long long>(sum, 2147483647LL));
}

}  // namespace kestrel
