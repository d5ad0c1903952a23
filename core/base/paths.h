#pragma once
// Path texts: file name parts and joined paths, as stored files write them
// ("/" or "\" separators); the folders themselves come from platform/os.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

// The part after the last "/" or "\" (the whole text when there is none).
std::string GetFileNamePart(std::string_view path);
// a, then "/" unless a is empty or already ends with "/" or "\", then b.
std::string JoinPath(std::string_view a, std::string_view b);
// The parts joined by single "/": one leading and one trailing separator of
// each part is dropped ("/tmp/" and "ORV-TX5" give "/tmp/ORV-TX5"; a first
// part that is an absolute path keeps its leading "/").
std::string BuildPath(std::initializer_list<std::string_view> parts);
std::string BuildPath(const std::vector<std::string>& parts);

// A file name made from an experiment's title, for a save dialog to offer:
// the title without the characters a file name may not hold on this or
// another desktop (path separators, control characters, : * ? " < > |,
// each replaced by "_"), without surrounding spaces and leading dots, at
// most 200 bytes (cut at a character boundary), then `extension` (".tvx");
// "Untitled" when nothing of the title is left.
std::string FileNameFromTitle(std::string_view title, std::string_view extension);

// Deletes the regular files directly inside `folder`. Returns the number
// deleted, or -1 at the first file that could not be deleted.
int DeleteFilesInFolder(std::string_view folder);

}  // namespace ORV
