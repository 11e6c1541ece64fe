#pragma once
// Every place where the viewer's bytes and a file differ, as a list the
// viewer steps through: ranges of differing bytes over the part both have,
// and what only the longer one has as one range more.
//
// A worn-out memory can differ from its last dump almost everywhere, so the
// list stays small (16 bytes a range) and never moves once filled: ranges are
// kept in blocks of a fixed size instead of one array that doubles.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TDiffRange {
  uint64_t Offset = 0;
  uint64_t Length = 0;
};

// Which side has the bytes of a range: both (they differ), or only one of
// them (the tail of the longer side).
enum class TDiffSide { Both, DataOnly, FileOnly };

class TDumpDiff {
 public:
  TDumpDiff() = default;
  TDumpDiff(std::string_view data, std::string_view file);

  // Ranges in offset order; the tail, when the sizes differ, is the last.
  size_t Count() const { return FCount + (FTail.Length != 0 ? 1 : 0); }
  bool Empty() const { return Count() == 0; }
  TDiffRange Range(size_t index) const;
  TDiffSide Side(size_t index) const;
  // The first range that starts after the offset; Count() when there is none.
  size_t NextAfter(uint64_t offset) const;
  // The last range that starts before the offset; Count() when there is none.
  size_t PreviousBefore(uint64_t offset) const;
  // The bytes that differ or that one side lacks.
  uint64_t DifferentBytes() const { return FDifferentBytes; }
  // What the list itself takes, for the benchmark's bytes a range.
  size_t MemoryBytes() const;

 private:
  static constexpr size_t kBlockRanges = 4096;
  void Add(uint64_t offset, uint64_t length);
  const TDiffRange& At(size_t index) const { return FBlocks[index / kBlockRanges][index % kBlockRanges]; }

  std::vector<std::unique_ptr<TDiffRange[]>> FBlocks;
  size_t FCount = 0;
  TDiffRange FTail;
  TDiffSide FTailSide = TDiffSide::Both;
  uint64_t FDifferentBytes = 0;
};

// The list's columns: offset (as the viewer's grid writes it), length, and
// the first bytes of each side; row 0 holds the headers.
inline constexpr int kDumpDiffColumns = 4;
inline constexpr int kDumpDiffPreviewBytes = 8;
std::wstring DumpDiffCell(const TDumpDiff& diff, std::string_view data, std::string_view file, int col, int row);
