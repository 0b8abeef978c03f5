// Diagnostics on the error stream, formatted by the program's own small
// formatter (%c %d %x %f %s only; anything else after '%' is copied).
#pragma once

#include <cstdarg>

namespace qorla {

// Formats fmt with args into a static buffer of 1280 bytes and returns it.
// The text stops growing once it holds 1024 bytes; a %s argument that would
// take it past 1024 bytes is cut so that the text holds at most 768.
const char* err_edit(const char* fmt, va_list args);

// Writes one message to stderr: fmt itself when it holds no '%', else the
// err_edit text. Adds no prefix and no line end.
void errmsg(const char* fmt, ...);

}  // namespace qorla
