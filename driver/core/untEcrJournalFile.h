#pragma once
// The journal's few calls to the system, on one code path for every build:
// appending a batch of lines to a file that other processes may append to at
// the same moment, turning the file over when it is full, and the numbers of
// the calling process and thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace ecr {

// What a journal file starts with: the UTF-8 byte order mark, so that
// Notepad on every Windows reads the Cyrillic texts right.
constexpr std::string_view kJournalBom = "\xEF\xBB\xBF";

// Appends the bytes (whole lines) to the file in one write, under a lock that
// every writer of the file takes, so that two processes' batches never
// interleave. A file that has reached maxBytes (0: no limit) is first renamed
// to "<path>.1", replacing an older one, and a new file begun; a new file
// starts with kJournalBom. Returns 0 or the platform's error code.
int AppendJournalBatch(const std::wstring& path, std::string_view bytes, uint64_t maxBytes);

// The name the full file is given.
std::wstring JournalOldName(const std::wstring& path);

// Opens the file for appending and closes it again; 0 or the platform's
// error code (the settings dialog tells the user before anything is lost).
int ProbeJournalFile(const std::wstring& path);

uint32_t CurrentProcessNumber();
// Cheap: read once per thread.
uint32_t CurrentThreadNumber();

}  // namespace ecr
