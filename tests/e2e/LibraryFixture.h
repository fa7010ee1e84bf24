// The built library, loaded once per test program from beside it, as the
// host would load it; and folders holding a copy of it with a settings file
// of their own, for the tests whose functions write files beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "HostRecords.h"
#include "LoadedLibrary.h"

namespace msxtest {

const msxhost::LoadedLibrary& Library();

// A result record as the tests hand it to a call: every value the poison,
// the range -9..-9 and the error text "poison", so whatever a call writes
// shows.
class PoisonedResult : public msxhost::HostResult {
 public:
  PoisonedResult();
  float R(int32_t i) const { return array().values()[static_cast<std::size_t>(i)]; }
  int32_t First() const { return array().first(); }
  int32_t Last() const { return array().last(); }
  std::string Error() const { return extendedError(); }
};

// A temporary path of the running test's own, `stem` + a number + `suffix`:
// ctest runs the cases of one parameterised test at once.
std::string OwnTempPath(const std::string& stem, const std::string& suffix);

// The lines of a CR LF text.
std::vector<std::string> CrLfLines(const std::string& text);

// A folder holding a copy of the built library and its settings file,
// removed with everything in it at the end.
class LibraryFolder {
 public:
  LibraryFolder(const std::string& name, const std::string& iniText);
  ~LibraryFolder();
  LibraryFolder(const LibraryFolder&) = delete;
  LibraryFolder& operator=(const LibraryFolder&) = delete;

  std::string Path(const std::string& name) const;
  const std::string& library() const { return library_; }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  std::string library_;
};

}  // namespace msxtest
