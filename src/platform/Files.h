// Small file-system helpers over the operating system (paths are UTF-8, '/' separated).
#pragma once

#include <cstddef>
#include <string>

namespace tq {

bool FileExists(const std::string& path);       // any kind of entry
bool IsDirectory(const std::string& path);
bool IsReadWritable(const std::string& path);   // readable and writable by us
// Creates one folder level; true when it exists afterwards.
bool MakeFolder(const std::string& path);
// Removes a file; true when it is gone afterwards (also when it never existed).
bool RemoveFile(const std::string& path);

// Reads a whole regular file of at most maxBytes. False when it cannot be opened or read,
// or is larger.
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* out);

// Replaces the file's contents with `bytes`: written to a temporary file beside it and
// renamed over it, so a failed write (full card, pulled card) leaves the old file whole.
// Where no file can be created beside it the file is rewritten in place. Keeps the
// permission bits of an existing file.
bool ReplaceFileContents(const std::string& path, const std::string& bytes);

// Writes what the system still holds only in memory of a file's data to its medium. A
// card may be pulled the moment we report a file written or repaired, and a renamed
// export must never come to stand under its name without its bytes. False with the
// system's reason in *why.
bool SyncFileToMedium(const std::string& path, std::string* why);
// Best effort: the folder's entries (a file renamed into it) reach the medium too.
void SyncFolderOf(const std::string& path);

// The last path component ("/media/u/CARD" -> "CARD"), ignoring trailing separators.
std::string LastPathComponent(const std::string& path);
// Joins with exactly one '/' between the parts.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tq
