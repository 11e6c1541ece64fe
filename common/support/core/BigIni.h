#pragma once
// The INI store: a whole INI file kept in memory, read once when the store is
// made and written back as a whole, only when something changed.
//
// File format (ANSI code page on disk, wide text inside):
//   - A line ends at CR LF, at a bare LF or at a bare CR, so files touched by
//     editors from other systems read the same.
//   - At most 255 characters of a line are kept; the rest of it is skipped.
//   - Empty lines are dropped; a line that holds only Ctrl-Z (old editors end
//     files that way) counts as empty. Reading does not stop at Ctrl-Z: lines
//     after it are read as usual, because stopping there would silently drop
//     them from disk at the next rewrite. A Ctrl-Z inside a line is an
//     ordinary character.
//   - "[name]" (first character "[", last "]") opens a section, even when one
//     of that name exists; after loading only the first of equal names (letter
//     case ignored) survives, with its own lines.
//   - Every other line belongs to the section opened last and is kept exactly
//     as read (comments and lines without "=" too); lines before the first
//     header are dropped.
//   - Written: "[name]", the section's lines, one empty line; CR LF endings;
//     sections without lines are left out.
//
//   - A value holding CR or LF (which would end the line and let the rest of
//     the value pass for lines or sections of their own) is written as
//     "key*=value" with "%" as "%25", CR as "%0D" and LF as "%0A"; so is the
//     value of a key that itself ends in "*" ("Key*" gives "Key**=...").
//     Such a line is read as the encoded kind: the key is the text before
//     the "*" and the value is decoded. A line is of that kind when the text
//     before its first "=" ends in "**", or ends in "*" and the text after
//     the "=" holds "%0D" or "%0A" (either letter case).
//     Every other line is written and read exactly as it was before the mark
//     existed: "Key*=value" is key "Key*" with value "value". So every file
//     reads as it always did, except for lines of the encoded kind above.
//
// Every text crossing the interface (file name, section, key, value, result)
// is cut to 255 characters without notice; section names to 253 and keys to
// 254, so that "[name]" and "key=" still fit in a line when read back (a key
// whose 254 characters end in "**" to 253, since "x**=" is the encoded kind
// of "x*"). An encoded value is cut whole escapes at a time; where the mark
// does not fit (under a key of 254 characters), or a cut leaves no line
// break to escape, line breaks become blanks in a plain line.
//
// Errors: a file that cannot be read or written raises EInOutError with the
// platform's code (errno, or GetLastError on Windows). A missing file on
// loading is no error. The file is never left half-written: the new content
// goes to a new temporary file beside it (WriteWholeFile), is flushed to disk
// and only then replaces the old file.
//
// Call UpdateFile() yourself before the store goes away whenever the user must
// hear about a failed write. The destructor writes unsaved changes too, but a
// destructor cannot throw, so there a failure is swallowed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One line of a section, with its key's length and case-folded hash kept so
// that a key look-up skips non-matching lines without comparing text.
class TIniLine {
 public:
  explicit TIniLine(std::wstring&& text);
  const std::wstring& Text() const noexcept { return FText; }
  void SetText(std::wstring&& text);
  // The key is the text before the first "=" (less the "*" of an encoded
  // value); a line without "=" has none.
  bool HasKey() const noexcept { return FKeyLength != kNoKey; }
  std::wstring_view Key() const noexcept;
  // The value as written: decoded when the line carries the mark.
  std::wstring Value() const;
  // The text after the first "=", as the file holds it.
  std::wstring_view RawValue() const noexcept;
  bool Encoded() const noexcept { return FEncoded; }
  // True when the line's key equals `key` ignoring letter case; `keyHash` is
  // IniFoldHash(key), computed once by the caller for a whole scan.
  bool KeyIs(std::wstring_view key, uint32_t keyHash) const noexcept;

 private:
  static constexpr uint32_t kNoKey = 0xFFFFFFFFu;
  void Classify() noexcept;
  std::wstring FText;
  uint32_t FKeyLength = kNoKey;
  uint32_t FKeyHash = 0;
  bool FEncoded = false;
};

// The line WriteString makes of a key and a value, both already cut to what
// the store takes: "key=value", or the encoded form where the value would
// break the line.
std::wstring IniLineOf(std::wstring_view key, std::wstring_view value);

using TIniLines = std::vector<TIniLine>;

// Hash of a text with letter case folded the way SameText compares.
uint32_t IniFoldHash(std::wstring_view text) noexcept;

// The sections of a store in file order (not sorted; new ones are appended).
class TSectionList {
 public:
  TSectionList() = default;
  TSectionList(const TSectionList&) = delete;
  TSectionList& operator=(const TSectionList&) = delete;

  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  const std::wstring& Name(int index) const { return FItems[static_cast<size_t>(index)]->Name; }
  TIniLines& SectionLines(int index) { return FItems[static_cast<size_t>(index)]->Lines; }
  const TIniLines& SectionLines(int index) const { return FItems[static_cast<size_t>(index)]->Lines; }

  // Index of the section named `name` (letter case ignored) or -1. The search
  // starts at PrevIndex, where the last one ended, and wraps around.
  int IndexOf(std::wstring_view name);
  int PrevIndex() const noexcept { return FPrevIndex; }

  // Appends a section (a name may repeat until RemoveDuplicates runs).
  int Add(std::wstring name);
  // Moves every section of `other` to the end of this list.
  void AppendFrom(TSectionList& other);
  // Removing a section restarts the next search at the first one.
  void Delete(int index);
  void Clear() noexcept;
  // Keeps the first section of every name (letter case ignored) with its own
  // lines and drops later ones, lines and all; true when any was dropped.
  bool RemoveDuplicates();

  // Index of the first section named `name` that a circular walk from
  // `start` meets, or -1. Long lists answer through a name index after
  // checking `start` itself, which is where walks in file order succeed.
  // Leaves PrevIndex alone.
  int Locate(std::wstring_view name, int start);
  bool NameIs(int index, std::wstring_view name) const;

 private:
  struct TSection {
    std::wstring Name;
    TIniLines Lines;
  };
  struct TFoldHash {
    size_t operator()(std::wstring_view s) const noexcept { return IniFoldHash(s); }
  };
  struct TFoldEqual {
    bool operator()(std::wstring_view a, std::wstring_view b) const noexcept;
  };
  int Walk(std::wstring_view name, int start) const;
  bool BuildIndex();

  std::vector<std::unique_ptr<TSection>> FItems;
  int FPrevIndex = 0;
  // Name index over FItems (views into the owned names, which never move).
  // It is rebuilt lazily after removals; while two entries share a name
  // (only between reading a file and RemoveDuplicates) the plain walk is used,
  // since then the walk's starting point decides which one is found.
  std::unordered_map<std::wstring_view, int, TFoldHash, TFoldEqual> FIndex;
  bool FIndexValid = false;
  bool FHasDuplicates = false;
};

class TBigIniFile {
 public:
  explicit TBigIniFile(const std::wstring& fileName);
  TBigIniFile(const TBigIniFile&) = delete;
  TBigIniFile& operator=(const TBigIniFile&) = delete;

  virtual std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& defaultValue);
  virtual void WriteString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& value);
  // Decimal, or hexadecimal after "$" (or a leading "0x"), with leading
  // blanks and a sign allowed; hexadecimal covers all 32 bits ("$FFFFFFFF" is
  // -1). Empty or malformed text and values outside 32 bits give the default.
  virtual int32_t ReadInteger(const std::wstring& section, const std::wstring& key,
                              int32_t defaultValue);
  virtual void WriteInteger(const std::wstring& section, const std::wstring& key, int32_t value);
  virtual bool ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue);
  virtual void WriteBool(const std::wstring& section, const std::wstring& key, bool value);
  // Appends the key of every line of the section (empty for a line without "=").
  virtual void ReadSection(const std::wstring& section, std::vector<std::wstring>& keys);
  // Replaces the list's content by all section names in file order.
  virtual void ReadSections(std::vector<std::wstring>& sections);
  // Appends every line of the section unchanged.
  virtual void ReadSectionValues(const std::wstring& section, std::vector<std::wstring>& lines);
  virtual void EraseSection(const std::wstring& section);
  virtual void DeleteKey(const std::wstring& section, const std::wstring& key);
  // Appends the text the file would hold, one entry per line.
  virtual void ReadAll(std::vector<std::wstring>& lines);
  // Writes the file when something changed. On failure the changes stay
  // pending (Modified stays true) and EInOutError is raised.
  virtual void UpdateFile();
  // Reads the file's sections into the store (a missing file adds nothing).
  // All or nothing: a read error leaves the store as it was.
  virtual void LoadFile(const std::wstring& fileName);
  virtual ~TBigIniFile();

  // Writes pending changes under the old name, then binds the store to
  // `fileName` and loads it. Should loading fail, the store is left empty
  // and bound to no file, so nothing can overwrite the file it could not read.
  void SetFileName(const std::wstring& fileName);
  // Locates `section` by a circular walk from CurrentSection and returns the
  // index of its first line whose key is `key` (-1 when none) and, through
  // `lines`, the section's lines (nullptr when the section does not exist and
  // `create` is false; with `create` a missing section is appended empty).
  int FindItem(const std::wstring& section, const std::wstring& key, bool create, TIniLines*& lines);
  void ClearSections() noexcept;

  // The same parsing as LoadFile, from bytes in the ANSI code page already in
  // memory. `chunkSize` (0: all at once) feeds the text in pieces the way the
  // file buffer does, so tests can put line ends across piece boundaries.
  void LoadText(std::string_view bytes, size_t chunkSize = 0);
  // The bytes UpdateFile would write.
  std::string SaveText() const;

  const std::wstring& FileName() const noexcept { return FFileName; }
  bool Modified() const noexcept { return FModified; }
  TSectionList& Sections() noexcept { return FSections; }
  int CurrentSection() const noexcept { return FCurrentSection; }
  int TextBufferSize() const noexcept { return FTextBufferSize; }

  static constexpr size_t MaxTextLength = 255;

 private:
  TIniLines* FindSection(std::wstring_view section, bool create);
  template <class Sink>
  void WriteSections(Sink& sink) const;
  void WriteToDisk() const;

  std::wstring FFileName;
  bool FModified = false;
  TSectionList FSections;
  int FCurrentSection = 0;
  int FTextBufferSize = 28672;
};
