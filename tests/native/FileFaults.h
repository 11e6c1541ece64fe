#pragma once
// A write that fails part-way, the way a full disk makes it fail, for any
// user (root included): while a TFileSizeLimit lives, no file of this process
// grows past the limit and a write beyond it fails with EFBIG.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <set>
#include <string>

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldSignal = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldSignal);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit FOld{};
  void (*FOldSignal)(int) = nullptr;
};

// The names in a folder, to see that a write left nothing behind.
inline std::set<std::string> FolderNames(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}
