// A file read in large blocks, with text-mode translation on the way in:
// carriage returns are removed and a byte 0x1A ends the data. Works on
// pipes and special files. A regular file is held in memory whole instead,
// so that its lines can stay where they are; its reader translates what
// needs it.
#pragma once

#include <cstddef>
#include <string_view>

namespace qorla {

struct InputFile {
  int fd = -1;
  char* buffer = nullptr;  // capacity bytes; [begin, end) not yet consumed
  std::size_t capacity = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
  bool at_end = false;       // no more data will be read
  bool read_error = false;   // the data ended by a read error
  bool may_hold_nul = true;  // [begin, end) may hold a 0 byte
  // The whole file, untranslated, when it is held in memory; kept until the
  // process ends, since stored lines point into it.
  const char* whole = nullptr;
  std::size_t whole_size = 0;
};

// Opens path for reading; false when it cannot be opened or is a directory.
bool open_input(InputFile& file, const char* path, char* buffer, std::size_t capacity);

// Holds an open regular file that is not empty in memory, whole: read into
// huge pages where the kernel has enough of them free (lines scattered over
// gigabytes are then reached fast), else mapped. A file that can be neither
// stays a stream. name is for the report of a mapped file that shrinks
// under the run.
void load_whole(InputFile& file, const char* name);

// Reads a file held whole from offset on through the buffer, translated,
// as if it had been opened as a stream.
void stream_from(InputFile& file, std::size_t offset);

void close_input(InputFile& file);

// The next piece as fgets would read it: the bytes up to and including the
// next line feed, but at most max bytes (max < 4096). Empty at the end of the
// data or on a read error (then read_error is set).
std::string_view next_piece(InputFile& file, std::size_t max);

// Translates n freshly read bytes in place; returns the bytes kept and sets
// *stop when a 0x1A byte ended the data.
std::size_t translate_text_mode(char* data, std::size_t n, bool* stop);

}  // namespace qorla
