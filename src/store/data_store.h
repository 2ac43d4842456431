// data.dat: the settings and widget store. This is the portable part: the exact text of
// the document, its ANSI form, the byte scrambling on disk and the tolerant reading.
// Where the file lives and how it reaches the disk is in data_store_win.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/manager_data.h"
#include "model/notes_local_info.h"

class TiXmlDocument;
class TiXmlElement;

namespace store {

constexpr char16_t kDataFileName[] = u"data.dat";
// A file shorter than this cannot hold a document.
constexpr size_t kMinDataFileSize = 4;

// Screen size in pixels; positions are stored as fractions of it.
struct ScreenSize {
  int32_t width = 0;
  int32_t height = 0;
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

// One widget record as its <note> block. Pulls the record's position inside the screen
// first (at most 50 pixels from the right edge, 60 from the bottom), storing it back.
// Empty for a null record.
std::string NoteToXml(CNotesLocalInfo* note, ScreenSize screen);
// Fills `note` from a <note> element; items that are missing keep their values.
// Returns 0 when either argument is null, else 1.
int NoteFromXml(CNotesLocalInfo* note, const TiXmlElement* element, ScreenSize screen);

// The whole document as ANSI text (no terminating zero byte).
std::string BuildDataDocument(const ManagerData& m, const std::vector<CNotesLocalInfo*>& notes, ScreenSize screen);
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

}  // namespace store
