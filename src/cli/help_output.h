// What -usage, --help and --version write to standard output.
#pragma once

#include <string>
#include <string_view>

namespace qorla {

// The help text as stored: every line of usage_text, each followed by a
// line feed, in code page 932.
std::string help_text_cp932();

// The character set the help is converted to for a terminal whose locale
// names the character set codeset (nl_langinfo(CODESET)): "UTF-8" or
// "EUC-JP", or nullptr to keep the code page 932 bytes.
const char* help_charset(std::string_view codeset);

// Converts code page 932 text to charset with iconv(3). False, with out
// unspecified, when the conversion is not available or fails anywhere.
bool convert_from_cp932(std::string_view text, const char* charset, std::string& out);

// The help for standard output: converted when standard output is a
// terminal and the locale's character set is UTF-8 or EUC-JP, otherwise
// (pipes, files, other sets, any conversion failure) the stored bytes.
std::string help_for_stdout();

// "qorla <version>" and the licence, two lines.
std::string version_text();

}  // namespace qorla
