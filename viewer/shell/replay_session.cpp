#include "viewer/shell/replay_session.h"

#include <cctype>
#include <cstring>
#include <fstream>

#include "viewer/browser/world_clock.h"
#include "viewer/engine/journal_replay.h"
#include "viewer/shell/viewer_core.h"

namespace kestrel {
namespace {

bool endsWithFolded(const std::string& path, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != suffix[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool looksLikeJournal(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string first;
  std::getline(in, first);
  return first.rfind("# kestrel journal", 0) == 0;
}

// The builders during a replay: a load opens only the files whose effect
// does not come through the queue (state files, images); scene, sphere,
// mesh and command files only queue commands, which the journal holds as
// the steps that ran them.
class ReplayBuilders : public SceneBuilders {
 public:
  explicit ReplayBuilders(SceneBuilders& shell) : shell_(shell) {}
  void openFile(const std::string& path) override {
    if (endsWithFolded(path, ".state") || endsWithFolded(path, ".jpg") ||
        endsWithFolded(path, ".png")) {
      shell_.openFile(path);
    }
  }
  std::string localPath(const std::string& path) const override { return shell_.localPath(path); }
  void mapRequest(const std::string& name) override { shell_.mapRequest(name); }
  void loadMap(const std::string& name) override { shell_.loadMap(name); }
  void starLine(const std::string& text) override { shell_.starLine(text); }
  void inlineScene(const std::string& text) override { shell_.inlineScene(text); }
  void label(const std::string& text) override { shell_.label(text); }

 private:
  SceneBuilders& shell_;
};

std::unique_ptr<ReplaySession> ReplaySession::open(const ViewerOptions& options,
                                                   std::string* error) {
  std::vector<JournalRun> runs;
  if (!readJournalFile(options.replayPath, &runs, error)) return nullptr;
  if (runs.empty() || runs.back().empty()) {
    *error = options.replayPath + " holds no commands";
    return nullptr;
  }
  return std::unique_ptr<ReplaySession>(new ReplaySession(options, std::move(runs.back())));
}

ReplaySession::ReplaySession(const ViewerOptions& options, JournalRun run)
    : options_(options), run_(std::move(run)) {
  startOver();
}

ReplaySession::~ReplaySession() {
  replay_.reset();
  if (core_) core_->engine().setBuilders(&core_->builders());
}

void ReplaySession::startOver() {
  replay_.reset();
  if (core_) core_->engine().setBuilders(&core_->builders());
  builders_.reset();
  core_.reset();
  core_ = std::make_unique<ViewerCore>(options_);
  ++coresMade_;
  builders_ = std::make_unique<ReplayBuilders>(core_->builders());
  core_->engine().setBuilders(builders_.get());
  replay_ = std::make_unique<JournalReplay>(core_->engine(), core_->primary(),
                                            core_->secondary(), run_);
  position_ = 0;
}

int64_t ReplaySession::endTime() const { return run_.back().milliseconds; }

std::optional<int64_t> ReplaySession::nextTime() const { return replay_->nextTime(); }

bool ReplaySession::step() {
  std::optional<int64_t> ms = replay_->nextTime();
  if (!ms) return false;
  runClockTo(*ms);
  replay_->step();
  if (*ms > position_) position_ = *ms;
  return true;
}

void ReplaySession::seekTo(int64_t ms) {
  if (ms < position_) startOver();
  for (std::optional<int64_t> next = nextTime(); next && *next <= ms; next = nextTime()) step();
  runClockTo(ms);
  position_ = ms;
}

void ReplaySession::runClockTo(int64_t ms) {
  kestrel::runClockTo(core_->engine().browser(), static_cast<double>(ms) / 1000.0);
}

std::vector<std::string> ReplaySession::takeChangedFiles() {
  const std::vector<std::string>& all = replay_->changedFiles();
  std::vector<std::string> fresh;
  for (size_t i = changedReported_; i < all.size(); ++i) fresh.push_back(all[i]);
  if (all.size() > changedReported_) changedReported_ = all.size();
  return fresh;
}

bool ReplaySession::finish() {
  core_->engine().setBuilders(&core_->builders());
  return core_->finish();
}

}  // namespace kestrel
