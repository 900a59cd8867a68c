// GsvCycle: satellites in view summed over the constellations of a receiver.
//
// A multi-constellation receiver reports its satellites in view per talker
// ($GPGSV, $GLGSV, $GAGSV, $GBGSV...), each as a run of messages 1..N, once
// a second. Newer receivers repeat a talker's run once per signal (L1, L2,
// E5...), telling the runs apart by a signal id after the last satellite.
//
// A cycle is the set of runs since the previous cycle began; a new one
// begins when message 1 of a (talker, signal) run already seen in this cycle
// comes again. Within a cycle each talker counts once, with the largest
// count among its signals (a second signal sees a subset of the satellites).
// The total offered meanwhile takes each talker's count from this cycle
// when it has been reported, else from the previous cycle, so the total
// neither counts a talker twice nor dips while a cycle is still arriving;
// a constellation that stops reporting drops out one cycle later.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace kestrel {

class GsvCycle {
 public:
  // One GSV sentence: its talker ("" for none), its signal id ("" when the
  // sentence has none), its message number and its satellites in view.
  void add(std::string_view talker, std::string_view signal, int message, int inView);
  // The satellites in view of every constellation, as described above.
  int total() const;

 private:
  std::set<std::string> seen_;          // talker '/' signal of this cycle's runs
  std::map<std::string, int> current_;  // talker -> count in this cycle
  std::map<std::string, int> previous_; // talker -> count in the previous cycle
};

}  // namespace kestrel
