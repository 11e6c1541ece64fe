#include "untFile.h"

#include <atomic>
#include <chrono>
#include <random>

#include "untError.h"
#include "untText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr const wchar_t* kReadError = L"Ошибка чтения файла";
constexpr const wchar_t* kWriteError = L"Ошибка записи файла";
constexpr size_t kChunk = 1 << 20;

#ifdef _WIN32
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
int LastError() { return static_cast<int>(GetLastError()); }
#else
int LastError() { return errno; }
std::string OsPath(const std::wstring& name) { return WideToUtf8(name); }
#endif

[[noreturn]] void Raise(const wchar_t* what, const std::wstring& name, int code) {
  throw EInOutError(code, Format(L"%ls \"%ls\": %ls", what, name.c_str(), FileErrorText(code).c_str()));
}

TFileHandle OpenForReading(const std::wstring& name) {
#ifdef _WIN32
  return TFileHandle(reinterpret_cast<intptr_t>(CreateFileW(name.c_str(), GENERIC_READ,
                                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
#else
  return TFileHandle(::open(OsPath(name).c_str(), O_RDONLY | O_CLOEXEC));
#endif
}

// Bytes read, 0 at the end, -1 on error.
long long ReadSome(intptr_t h, char* buffer, size_t size) {
#ifdef _WIN32
  DWORD got = 0;
  if (!ReadFile(H(h), buffer, static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size), &got, nullptr)) return -1;
  return got;
#else
  for (;;) {
    ssize_t got = ::read(static_cast<int>(h), buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
#endif
}

bool WriteAll(intptr_t h, const char* p, size_t n) {
  while (n > 0) {
    const size_t piece = n > kChunk ? kChunk : n;
#ifdef _WIN32
    DWORD done = 0;
    if (!WriteFile(H(h), p, static_cast<DWORD>(piece), &done, nullptr)) return false;
#else
    ssize_t done = ::write(static_cast<int>(h), p, piece);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
#endif
    if (done == 0) {
#ifndef _WIN32
      errno = EIO;
#endif
      return false;
    }
    p += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

// A write-protected file must refuse the rewrite, as writing it in place
// would; moving a new file over it would otherwise succeed.
int WriteProtection(const std::wstring& name) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  return 0;
#else
  // A file nobody may write is refused even where the user could override
  // it (root), like a file marked read-only on Windows.
  struct stat st;
  if (::stat(OsPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return EACCES;
  if (::access(OsPath(name).c_str(), W_OK) == 0) return 0;
  return errno == EACCES || errno == EROFS || errno == EPERM ? errno : 0;
#endif
}

// A name beside the target that no file has: "<name>.~XXXXXXXX.tmp" with
// eight random hexadecimal digits. Only the file created here is ever
// written or removed, so a file of the user's that happens to be called like
// a temporary one is never touched.
std::wstring TemporaryName(const std::wstring& target) {
  static std::atomic<uint32_t> counter{0};
  static const uint32_t seed = [] {
    uint32_t v = 0;
    try {
      std::random_device device;
      v = device();
    } catch (...) {
    }
    return v ^ static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }();
  // Spread the counter over all 32 bits (a multiplicative hash).
  const uint32_t n = (seed + counter.fetch_add(1) * 2654435761u) ^ static_cast<uint32_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  wchar_t hex[9];
  for (int i = 7; i >= 0; --i) hex[7 - i] = L"0123456789ABCDEF"[(n >> (i * 4)) & 15];
  hex[8] = 0;
  return target + L".~" + hex + L".tmp";
}

bool AlreadyExists(int code) {
#ifdef _WIN32
  return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
#else
  return code == EEXIST;
#endif
}

// Creates a new temporary file beside the target (never an existing one); on
// POSIX it takes the rights of the file it will replace, whatever the umask
// says. No file, with the error left in LastError, when none can be made.
TFileHandle CreateTemporary(const std::wstring& target, std::wstring& temp) {
#ifndef _WIN32
  struct stat st;
  const bool replacing = ::stat(OsPath(target).c_str(), &st) == 0;
  const mode_t mode = replacing ? (st.st_mode & 07777) : 0666;
#endif
  for (int attempt = 0; attempt < 64; ++attempt) {
    temp = TemporaryName(target);
#ifdef _WIN32
    TFileHandle h(reinterpret_cast<intptr_t>(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (h) return h;
#else
    TFileHandle h(::open(OsPath(temp).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (h) {
      if (replacing) (void)::fchmod(static_cast<int>(h.Get()), mode);
      return h;
    }
#endif
    if (!AlreadyExists(LastError())) break;
  }
  return TFileHandle();
}

// The close is part of the write: a file system may report a failed write
// only there.
bool SyncAndClose(TFileHandle& h) {
#ifdef _WIN32
  const bool ok = FlushFileBuffers(H(h.Get())) != 0;
#else
  const bool ok = ::fsync(static_cast<int>(h.Get())) == 0;
#endif
  return TFileTraits::Close(h.Release()) && ok;
}

bool Replace(const std::wstring& source, const std::wstring& target) {
#ifdef _WIN32
  return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return ::rename(OsPath(source).c_str(), OsPath(target).c_str()) == 0;
#endif
}

void RemoveQuietly(const std::wstring& name) {
#ifdef _WIN32
  DeleteFileW(name.c_str());
#else
  ::unlink(OsPath(name).c_str());
#endif
}

}  // namespace

std::wstring FileErrorText(int code) {
  std::wstring text = SystemErrorText(code);
  // Our messages show the text without its closing full stop.
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  return text.empty() ? Format(L"код %d", code) : text;
}

bool TFileTraits::Close(intptr_t handle) noexcept {
#ifdef _WIN32
  return CloseHandle(H(handle)) != 0;
#else
  return ::close(static_cast<int>(handle)) == 0;
#endif
}

bool IsMissingFileError(int code) {
#ifdef _WIN32
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
#else
  return code == ENOENT || code == ENOTDIR;
#endif
}

TFileReader::TFileReader(const std::wstring& name) : FName(name), FHandle(OpenForReading(name)) {
  if (!FHandle) Raise(kReadError, name, LastError());
  // A failure from here on closes the file as the exception leaves.
#ifdef _WIN32
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(H(FHandle.Get()), &size)) Raise(kReadError, name, LastError());
  FSize = static_cast<uint64_t>(size.QuadPart);
#else
  struct stat st;
  if (::fstat(static_cast<int>(FHandle.Get()), &st) != 0) Raise(kReadError, name, LastError());
  FSize = static_cast<uint64_t>(st.st_size);
#endif
}

size_t TFileReader::Read(char* buffer, size_t size) {
  const long long got = ReadSome(FHandle.Get(), buffer, size);
  if (got < 0) Raise(kReadError, FName, LastError());
  return static_cast<size_t>(got);
}

std::string ReadWholeFile(const std::wstring& name) {
  TFileReader file(name);
  std::string bytes;
  // The size is a hint only: the file may change while it is read.
  if (file.Size() < (uint64_t{1} << 31)) bytes.reserve(static_cast<size_t>(file.Size()));
  std::string chunk(kChunk, '\0');
  for (;;) {
    const size_t got = file.Read(chunk.data(), chunk.size());
    if (got == 0) break;
    bytes.append(chunk.data(), got);
  }
  return bytes;
}

void WriteWholeFile(const std::wstring& name, std::string_view bytes) {
  if (int code = WriteProtection(name)) Raise(kWriteError, name, code);
  std::wstring temp;
  TFileHandle h = CreateTemporary(name, temp);
  if (!h) Raise(kWriteError, name, LastError());
  int failure = 0;
  if (!WriteAll(h.Get(), bytes.data(), bytes.size())) failure = LastError();
  if (!SyncAndClose(h) && failure == 0) failure = LastError();
  if (failure == 0 && !Replace(temp, name)) failure = LastError();
  if (failure != 0) {
    RemoveQuietly(temp);
    Raise(kWriteError, name, failure);
  }
}
