// GsvCycle: satellites in view summed over the constellations of a receiver.
//
// A multi-constellation receiver reports its satellites in view per talker
// ($GPGSV, $GLGSV, $GAGSV, $GBGSV...), each as a run of messages 1..N, once
// a second. Newer receivers repeat a talker's run once per signal (L1, L2,
// E5...), telling the runs apart by a signal id after the last satellite.
//
// A cycle is the set of runs since the previous cycle began; a new one
// begins when message 1 of a (talker, signal) run already seen in this cycle
// comes again. Within a cycle each talker counts once: the number of
// distinct satellites its runs list, or the largest satellites-in-view
// field among them when that is more (a message lost on the way). A second
// signal mostly lists the satellites of the first again; some receivers
// list the satellites they see but do not track in a run of their own
// (signal id 0), which then adds to the count.
// The total offered meanwhile takes each talker's count from this cycle
// when it has been reported, else from the previous cycle, so the total
// neither counts a talker twice nor dips while a cycle is still arriving;
// a constellation that stops reporting drops out one cycle later.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

class GsvCycle {
 public:
  // One GSV sentence: its talker ("" for none), its signal id ("" when the
  // sentence has none), its message number, its satellites in view and the
  // ids of the satellites it lists.
  void add(std::string_view talker, std::string_view signal, int message, int inView,
           const std::vector<std::string_view>& satellites);
  // The satellites in view of every constellation, as described above.
  int total() const;

 private:
  // Bounds on what one cycle holds, far above what a sky offers, so that a
  // stream that never repeats a run's first message cannot grow it forever.
  static constexpr std::size_t kMaxRuns = 64;
  static constexpr std::size_t kMaxSatellites = 1024;

  void startCycle();
  std::size_t satellitesListed() const;

  struct Talker {
    int largestInView = 0;
    std::set<std::string> satellites;
    int count() const;
  };

  std::set<std::string> seen_;              // talker '/' signal of this cycle's runs
  std::map<std::string, Talker> current_;   // this cycle's talkers
  std::map<std::string, Talker> previous_;  // the previous cycle's
};

}  // namespace kestrel
