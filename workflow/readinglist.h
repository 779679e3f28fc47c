// The numbered reading list and the readings' text file.
//
// Line k of the list (k from 1 to 1000) is k in decimal, two blanks, receive
// line k byte for byte, and a TAB: "1  512\t". The file holds the list's
// lines, each followed by CR LF, with no header, trailer or byte-order mark
// and no change of code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "receivetext.h"

namespace talveno {

// The 1000 lines built from receive lines 1 to 1000; a line not yet received
// counts as empty. Costs time in proportion to those lines only.
std::vector<std::string> buildReadingList(const ReceiveText& received);

// The file's bytes for the given lines.
std::string readingFileBytes(const std::vector<std::string>& lines);

// path with "." + extension added when its file name has no extension.
std::string withDefaultExtension(const std::string& path, std::string_view extension);

// Writes bytes to path, creating the file or replacing the one there.
// The bytes go to a new file beside the target, which is renamed into place
// once all of them are on disk, so the target is at every moment either the
// old file or the complete new one.
// Throws Error("Cannot create file <path>") when the file cannot be created
// (missing folder, no permission, a read-only file in the way) and
// Error("Stream write error") when writing fails (a full disk); in both cases
// an existing file of that name is left as it was and no other file remains.
void writeFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace talveno
