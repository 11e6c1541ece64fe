#include "untEcrJournalFile.h"

#include "untFile.h"
#include "untText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace ecr {

namespace {

#ifdef _WIN32

HANDLE H(const TFileHandle& f) { return reinterpret_cast<HANDLE>(f.Get()); }
int LastError() { return static_cast<int>(GetLastError()); }

// Shared for delete too: another process may turn the file over while this
// one holds it open.
TFileHandle OpenForAppend(const std::wstring& path) {
  return TFileHandle(reinterpret_cast<intptr_t>(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

// A byte far beyond any journal's end: locking it keeps the writers in turn
// without keeping a reader (Notepad) from the lines.
OVERLAPPED LockPlace() {
  OVERLAPPED o{};
  o.Offset = 0;
  o.OffsetHigh = 0x40000000;
  return o;
}

bool Lock(const TFileHandle& f) {
  OVERLAPPED o = LockPlace();
  return LockFileEx(H(f), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &o) != 0;
}

void Unlock(const TFileHandle& f) {
  OVERLAPPED o = LockPlace();
  UnlockFileEx(H(f), 0, 1, 0, &o);
}

bool SizeOf(const TFileHandle& f, uint64_t& size) {
  LARGE_INTEGER s{};
  if (!GetFileSizeEx(H(f), &s)) return false;
  size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

// Whether the open file is still the one the path names (another process may
// have renamed it while this one waited for the lock).
bool StillAtPath(const TFileHandle& f, const std::wstring& path) {
  TFileHandle other(reinterpret_cast<intptr_t>(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  return other && GetFileInformationByHandle(H(f), &a) && GetFileInformationByHandle(H(other), &b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool TurnOver(const std::wstring& path) {
  return MoveFileExW(path.c_str(), JournalOldName(path).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool WriteAtEnd(const TFileHandle& f, std::string_view bytes) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(H(f), zero, nullptr, FILE_END)) return false;
  while (!bytes.empty()) {
    DWORD done = 0;
    const DWORD piece = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    if (!WriteFile(H(f), bytes.data(), piece, &done, nullptr) || done == 0) return false;
    bytes.remove_prefix(done);
  }
  return true;
}

#else

int Fd(const TFileHandle& f) { return static_cast<int>(f.Get()); }
int LastError() { return errno; }
std::string OsPath(const std::wstring& path) { return WideToUtf8(path); }

TFileHandle OpenForAppend(const std::wstring& path) {
  return TFileHandle(::open(OsPath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
}

bool Lock(const TFileHandle& f) {
  for (;;) {
    if (::flock(Fd(f), LOCK_EX) == 0) return true;
    if (errno != EINTR) return false;
  }
}

void Unlock(const TFileHandle& f) { ::flock(Fd(f), LOCK_UN); }

bool SizeOf(const TFileHandle& f, uint64_t& size) {
  struct stat st;
  if (::fstat(Fd(f), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool StillAtPath(const TFileHandle& f, const std::wstring& path) {
  struct stat a, b;
  return ::fstat(Fd(f), &a) == 0 && ::stat(OsPath(path).c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool TurnOver(const std::wstring& path) {
  return ::rename(OsPath(path).c_str(), OsPath(JournalOldName(path)).c_str()) == 0;
}

bool WriteAtEnd(const TFileHandle& f, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(Fd(f), bytes.data(), bytes.size());
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(done));
  }
  return true;
}

#endif

// The longest run of whole lines from the start that fits into room bytes.
std::string_view LinesWithin(std::string_view bytes, uint64_t room) {
  if (room >= bytes.size()) return bytes;
  const size_t end = room == 0 ? std::string_view::npos : bytes.rfind('\n', static_cast<size_t>(room) - 1);
  return end == std::string_view::npos ? std::string_view() : bytes.substr(0, end + 1);
}

std::string_view FirstLine(std::string_view bytes) {
  const size_t end = bytes.find('\n');
  return bytes.substr(0, end == std::string_view::npos ? bytes.size() : end + 1);
}

}  // namespace

std::wstring JournalOldName(const std::wstring& path) { return path + L".1"; }

int AppendJournalBatch(const std::wstring& path, std::string_view bytes, uint64_t maxBytes) {
  // Another process may turn the file over while this one waits for the
  // lock; after a few such misses the lines go where they can rather than
  // nowhere.
  int misses = 0;
  while (!bytes.empty()) {
    TFileHandle f = OpenForAppend(path);
    if (!f) return LastError();
    if (!Lock(f)) return LastError();
    if (misses < 3 && !StillAtPath(f, path)) {
      Unlock(f);
      ++misses;
      continue;
    }
    uint64_t size = 0;
    if (!SizeOf(f, size)) {
      const int error = LastError();
      Unlock(f);
      return error;
    }
    std::string_view piece = bytes;
    if (maxBytes > 0) {
      const uint64_t used = size + (size == 0 ? kJournalBom.size() : 0);
      piece = LinesWithin(bytes, maxBytes > used ? maxBytes - used : 0);
      // Full: renamed under the lock, so no other writer turns over the new
      // file too. When the rename is refused (someone holds the older copy
      // open without sharing it), the lines go on at the end of this file.
      if (piece.empty() && size > 0 && TurnOver(path)) {
        Unlock(f);
        continue;
      }
      // A line longer than a whole file still goes in, alone.
      if (piece.empty()) piece = size == 0 ? FirstLine(bytes) : bytes;
    }
    bool ok = true;
    if (size == 0) ok = WriteAtEnd(f, kJournalBom);
    if (ok) ok = WriteAtEnd(f, piece);
    const int error = ok ? 0 : LastError();
    Unlock(f);
    if (error) return error;
    bytes.remove_prefix(piece.size());
    misses = 0;
  }
  return 0;
}

int ProbeJournalFile(const std::wstring& path) {
  TFileHandle f = OpenForAppend(path);
  return f ? 0 : LastError();
}

uint32_t CurrentProcessNumber() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint32_t>(::getpid());
#endif
}

uint32_t CurrentThreadNumber() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  thread_local const uint32_t number = static_cast<uint32_t>(::syscall(SYS_gettid));
  return number;
#endif
}

}  // namespace ecr
