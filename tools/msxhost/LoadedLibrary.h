// The library as the host sees it: loaded by path, described through its
// four description entry points, its functions called by name through the
// host records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HostRecords.h"
#include "host/MSXStruct.h"

namespace msxhost {

// One choice of a custom argument.
struct CustomChoice {
  std::string text;
  int32_t id = 0;
  bool operator==(const CustomChoice&) const = default;
};

struct ArgumentInfo {
  int32_t type = 0;  // msx::ArgumentType
  std::string name;
  std::vector<CustomChoice> choices;  // custom strings by index 0, 1, 2, ...
  bool operator==(const ArgumentInfo&) const = default;
};

struct FunctionInfo {
  int32_t index = 0;  // the host's index, as MSXNthFunction numbers it
  std::string name;
  std::string description;
  std::vector<ArgumentInfo> arguments;
  bool operator==(const FunctionInfo&) const = default;
};

// Everything the description entry points answered, read once at load.
struct LibraryInfo {
  std::string text;
  int32_t functionCount = 0;
  int32_t version = 0;
  std::vector<FunctionInfo> functions;
  bool operator==(const LibraryInfo&) const = default;
};

// "series", "numeric", "string", "custom", or "type N" for any other code.
std::string ArgumentTypeName(int32_t type);

class LoadedLibrary {
 public:
  // The library the tester loads without --lib: DefaultPathIn() the folder
  // of platform::HostProgramPath().
  static std::string DefaultPath();

  // For a tester in FOLDER: the path on the first line of FOLDER/msxhost.lib
  // when that file is there and the line is not blank (setup writes it, naming
  // the DLL it put into the host's folder; surrounding blanks, a line end and
  // a UTF-8 byte-order mark are ignored), else platform::LibraryFileName() in
  // FOLDER (alone when FOLDER is empty). Throws HostError (kExitUsage) "cannot
  // read FOLDER/msxhost.lib" when that file is there but cannot be read.
  static std::string DefaultPathIn(const std::string& folder);

  // Loads the library and reads its whole description: MSXInfo, then
  // MSXNthFunction for indexes 0 to count - 1, MSXNthArg for each argument
  // and MSXNthCustomString for indexes 0 to the argument's custom-string
  // count - 1. Throws HostError (kExitFailure): "cannot load the library PATH
  // (reason)", "MSXInfo missing in PATH", an entry point that returns
  // anything but 0, or counts no host could hold.
  explicit LoadedLibrary(const std::string& path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  const std::string& path() const { return path_; }
  const LibraryInfo& info() const { return info_; }

  // The described function of that name, compared case-insensitively; null
  // when there is none.
  const FunctionInfo* FindFunction(std::string_view name) const;

  // The address of any exported symbol, or null.
  void* FindSymbol(const char* name) const;

  // The exported function of that exact name. Throws HostError
  // (kExitFailure) "NAME is not exported by PATH" when it is missing.
  msx::HostFunction Function(const std::string& name) const;

  // Calls the exported function `name` with the host's records and returns
  // what it returned. Throws only when the symbol is missing.
  int32_t Call(const std::string& name, const msx::HostDataRecord& data, HostArguments& arguments,
               msx::ResultRec& result) const;

 private:
  void ReadDescription();
  void* RequireSymbol(const char* name) const;

  std::string path_;
  void* handle_ = nullptr;
  LibraryInfo info_;
};

}  // namespace msxhost
