#include "modules/fleettap/kv_olog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

KV_OLog::KV_OLog() = default;

KV_OLog::~KV_OLog() {
  printf("KV_OLog::~KV_OLog() %p\n", static_cast<void*>(this));
  close();
}

int KV_OLog::open(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(fileName_, sizeof fileName_, format, args);
  va_end(args);
  if (length <= 0 || length >= static_cast<int>(sizeof fileName_)) {
    open_ = 0;
    return 0;
  }
  closeSoft();
  std::FILE* file = std::fopen(fileName_, firstOpen_ ? "w" : "a");
  if (file == nullptr) {
    open_ = 0;
    return 0;
  }
  std::fclose(file);
  open_ = 1;
  firstOpen_ = 0;
  return 1;
}

void KV_OLog::close() {
  open_ = 0;
  firstOpen_ = 1;
}

void KV_OLog::closeSoft() { open_ = 0; }

int KV_OLog::printf(const char* format, ...) {
  if (!open_) return 0;
  kestrel::MutexLock guard(lock_);
  std::FILE* file = std::fopen(fileName_, "a");
  if (file == nullptr) return 0;  // the line is lost
  va_list args;
  va_start(args, format);
  int written = std::vfprintf(file, format, args);
  va_end(args);
  std::fclose(file);
  return written < 0 ? 0 : written;
}

KV_OLog& fleetLog() {
  // Created on first use (at the latest when the library registers its
  // module) and never destroyed, so that whatever runs during the process's
  // or the library's end (a prototype's destructor, say) still finds it. It
  // lives in the library's static storage rather than on the heap, so that
  // unloading the library leaves no allocation behind.
  alignas(KV_OLog) static unsigned char storage[sizeof(KV_OLog)];
  static KV_OLog* log = [] {
    auto* created = new (storage) KV_OLog;
    if (const char* path = std::getenv("KV_OLOG"); path != nullptr && *path != '\0') {
      created->open("%s", path);
    }
    return created;
  }();
  return *log;
}
