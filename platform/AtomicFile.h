// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving a file so that a crash or a full disk never leaves it half written.

#include <string>

namespace vemo {

// Writes content to path so that a crash or a full disk never leaves it half written:
// to a temporary file beside it, flushed to disk and renamed over it, keeping its
// permissions. Where the folder allows no new file but the file may be written, the file
// is rewritten in place instead. A symbolic link at path is followed, so the link stays a
// link. A file the user may not write is never replaced. On any failure path is left as
// it was (rewritten in place: as far as the disk allows) and vemo::Exception
// "Unable to write to <absolute path>" is raised. Temporaries beside it that an earlier
// save left when it was killed (its writer gone, or a minute old) are removed. Returns how
// the file was saved, so the user can be told that it was not done safely.
enum class SaveMethod { Replaced, InPlace };
SaveMethod SaveFile(const std::string& path, const std::string& content);

// Reads a whole file. Returns false when it does not exist; raises
// vemo::Exception "Unable to read <path>" when it exists but cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

// path made absolute and normalised (no "." or ".." parts); symbolic links are kept.
std::string AbsoluteFilePath(const std::string& path);

}  // namespace vemo
