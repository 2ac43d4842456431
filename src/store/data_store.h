// data.dat: the settings and widget store. This is the portable part: the exact text of
// the document, its ANSI form, the byte scrambling on disk and the tolerant reading.
// Where the file lives and how it reaches the disk is in data_store_win.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/data_snapshot.h"
#include "model/manager_data.h"
#include "model/notes_local_info.h"
#include "platform/files.h"
#include "platform/write_queue.h"

class TiXmlDocument;
class TiXmlElement;

namespace store {

constexpr char16_t kDataFileName[] = u"data.dat";
// A file shorter than this cannot hold a document.
constexpr size_t kMinDataFileSize = 4;

// The primary monitor's size in pixels: positions are stored as fractions of it. A place
// is kept inside the desktop over every monitor (the virtual screen), whose right and
// bottom edges are given in screen pixels; 0 takes the primary's.
struct ScreenSize {
  int32_t width = 0;
  int32_t height = 0;
  int32_t desktopRight = 0;
  int32_t desktopBottom = 0;
};

// True when `c` starts a double-byte character in the system ANSI code page.
bool IsAnsiLeadByte(unsigned char c);

// Replaces & < > ' " by their entities, never looking at the second byte of a
// double-byte character.
std::string XmlEscape(const std::string& ansi);

// The on-disk scrambling, in place; both return `len` (0 for a null buffer). Byte i is
// rotated left by (i mod 7) + 1 bits and inverted; unscrambling undoes it.
size_t ScrambleData(unsigned char* buf, size_t len);
size_t UnscrambleData(unsigned char* buf, size_t len);

// Where a widget is stored: its position pulled inside the desktop, at most 50 pixels from
// its right edge and 60 from its bottom (of the primary monitor, or of a monitor right of
// or below it). The record itself is left as it is.
struct StoredPosition {
  int32_t x = 0;
  int32_t y = 0;
};
StoredPosition ClampedPosition(const CNotesLocalInfo& note, ScreenSize screen);

// One widget record as its <note> block, at its clamped position; the record's
// `content` is written as its content.
std::string NoteToXml(const CNotesLocalInfo& note, ScreenSize screen);
// Fills `note` from a <note> element; items that are missing keep their values.
// Returns 0 when either argument is null, else 1.
int NoteFromXml(CNotesLocalInfo* note, const TiXmlElement* element, ScreenSize screen);

// The whole document as ANSI text (no terminating zero byte).
std::string BuildDataDocument(const DataSnapshot& data, ScreenSize screen);
// The bytes of the file for a document: the text, one zero byte, scrambled.
std::string EncodeDataFile(const std::string& text);

enum class LoadStatus { kOk, kTooShort, kParseError, kNoRoot };

// Turns the bytes of a data.dat (scrambled, or plain text starting with "<?xml") into a
// parsed document. Logs "invalid file" for a too-short file and "parse xml error!" for
// one that does not parse or nests too deeply. kNoRoot is not logged.
LoadStatus ParseDataFile(const std::string& bytes, TiXmlDocument* doc);

// Reads `ver`, the settings and both link lists from the root element into `m`; counts
// the load in `usecount` and sets `first_run` when it becomes 1.
void ReadSettings(const TiXmlElement* root, ManagerData* m);

// Calls `onNote` for each stored widget record, in document order; a record created at 0
// gets `now`. Returns how many calls returned true.
int ReadNotes(const TiXmlElement* root, ScreenSize screen, int64_t now,
              const std::function<bool(const CNotesLocalInfo&)>& onNote);

// The files to try on load, best first: the data-folder copy (when there is a data
// folder), the program-folder copy, then the backups each save keeps of them.
std::vector<std::u16string> DataFileCandidates(const std::u16string& dataFolder, const std::u16string& appFolder);

// Parses the first of `paths` that holds a usable document into `doc`; returns its index,
// or -1 when none does. `anyRead` tells whether any file could be read at all, and
// `readError` is the system error of the last one that could not.
int LoadFirstUsable(const std::vector<std::u16string>& paths, TiXmlDocument* doc, bool* anyRead, int* readError);

// Logs why writing a copy of data.dat failed.
void LogDataWriteFailure(const platform::WriteFailure& failure);

enum class LoadOutcome {
  kLoaded,      // a copy held a document
  kNoDocument,  // no copy anywhere: a fresh installation
  kUnusable,    // copies exist, but none holds a document
};

// data.dat in its two places: the data folder and the program folder (each with a trailing
// path separator; an empty data folder means the program folder only).
class DataStore {
 public:
  // With a queue, saves are written on its worker thread; without one, before Save returns.
  DataStore(std::u16string dataFolder, std::u16string appFolder, platform::WriteQueue* queue = nullptr);

  // Reads the first usable copy (see DataFileCandidates) into `out`: its settings, with
  // this load counted in `usecount`, and its widget records in document order (a record
  // created at 0 gets `now`). A fresh installation counts as the first load: `usecount`
  // becomes 1 and `first_run` is set. Where nothing usable is found `out` keeps the
  // defaults, and each copy that exists but cannot be read is first kept beside itself
  // under a new name that nothing overwrites; `keptAside` (when given) receives the first.
  LoadOutcome Load(ScreenSize screen, int64_t now, DataSnapshot* out, std::u16string* keptAside = nullptr) const;

  // Writes the program-folder copy, then the data-folder copy. Without a queue, false when
  // the program-folder copy could not be written (the reason is logged either way).
  bool Save(const DataSnapshot& data, ScreenSize screen) const;

  std::u16string ProgramCopy() const { return appFolder_ + kDataFileName; }

 private:
  std::u16string dataFolder_;
  std::u16string appFolder_;
  platform::WriteQueue* queue_;
};

}  // namespace store
