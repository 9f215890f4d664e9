#pragma once
// Replacing a file so that a crash or a full disk never leaves it half written.

#include <string>

namespace vemo {

// Writes content to a temporary file beside path, flushes it to disk and renames it
// over path. A symbolic link at path is followed, so the link stays a link. The
// original file's permissions are kept. On any failure the temporary file is removed,
// path is left as it was, and vemo::Exception "Unable to write to <absolute path>" is
// raised.
void ReplaceFileAtomically(const std::string& path, const std::string& content);

// Reads a whole file. Returns false when it does not exist; raises
// vemo::Exception "Unable to read <path>" when it exists but cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

// path made absolute and normalised (no "." or ".." parts); symbolic links are kept.
std::string AbsoluteFilePath(const std::string& path);

}  // namespace vemo
