// Whole-file reads and writes and path pieces. Paths may use "/" or "\" as
// separator, whatever the platform, so Windows paths work in tests on Linux.
#pragma once

#include <string>
#include <string_view>

namespace msxhost {

// The file's bytes as they are (no newline translation). Throws HostError
// (kExitUsage) "cannot read PATH" when the file cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

// Creates or replaces the file with exactly these bytes. Throws HostError
// (kExitFailure) "cannot write PATH" on failure.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// "C:\data\goog.csv" -> "goog.csv"; "data/goog.csv" -> "goog.csv".
std::string BaseName(std::string_view path);

// The base name without its last extension: "data/goog.daily.csv" -> "goog.daily".
std::string StemOf(std::string_view path);

// The folder part without the trailing separator: "data/goog.csv" -> "data",
// "/goog.csv" -> "/", "goog.csv" -> ".".
std::string FolderOf(std::string_view path);

// The folder and a file name joined with the separator the folder already
// uses ("\" when its last separator is one, "/" otherwise). An empty folder
// gives the name alone.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace msxhost
