#include "LoadedLibrary.h"

#include <initializer_list>

#include "Files.h"
#include "HostError.h"
#include "Text.h"
#include "platform/Platform.h"

namespace msxhost {
namespace {

using InfoEntry = int32_t(MSX_CALL*)(msx::LibraryDescription*);
using NthFunctionEntry = int32_t(MSX_CALL*)(int32_t, msx::FunctionDescription*);
using NthArgEntry = int32_t(MSX_CALL*)(int32_t, int32_t, msx::ArgumentDescription*);
using NthCustomStringEntry = int32_t(MSX_CALL*)(int32_t, int32_t, int32_t,
                                                msx::CustomStringDescription*);

// Bounds no real host could exceed: the registry's rows, the four argument
// arrays, and custom-string lists of 2048 characters at 4 per entry.
constexpr int32_t kMostFunctions = 1025;
constexpr int32_t kMostArguments = 4 * msx::kMaxArgs;
constexpr int32_t kMostCustomStrings = 512;

// The file beside the tester that names the library to load by default.
constexpr std::string_view kPointerFile = "msxhost.lib";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string Text(const char (&field)[msx::kTextSize]) { return FieldText(field, msx::kTextSize); }

std::string EntryCall(std::string_view entry, std::initializer_list<int32_t> arguments) {
  std::string text(entry);
  text += '(';
  bool firstArgument = true;
  for (int32_t a : arguments) {
    if (!firstArgument) text += ", ";
    text += FormatInt(a);
    firstArgument = false;
  }
  return text + ')';
}

}  // namespace

std::string ArgumentTypeName(int32_t type) {
  switch (type) {
    case msx::kSeriesArg:
      return "series";
    case msx::kNumericArg:
      return "numeric";
    case msx::kStringArg:
      return "string";
    case msx::kCustomArg:
      return "custom";
    default:
      return Cat("type ", FormatInt(type));
  }
}

std::string LoadedLibrary::DefaultPath() {
  const std::string program = msx::platform::HostProgramPath();
  return DefaultPathIn(program.empty() ? std::string() : FolderOf(program));
}

// An installed tester lives in a program folder of its own, away from the
// host's folder that holds the DLL, so setup leaves the DLL's path beside it.
std::string LoadedLibrary::DefaultPathIn(const std::string& folder) {
  const std::string pointer = JoinPath(folder, kPointerFile);
  if (msx::platform::FileExists(pointer)) {
    const std::string text = ReadWholeFile(pointer);
    std::string_view line = text;
    if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
    line = line.substr(0, line.find_first_of("\r\n"));
    const size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos)
      return std::string(line.substr(first, line.find_last_not_of(" \t") + 1 - first));
  }
  return JoinPath(folder, msx::platform::LibraryFileName());
}

LoadedLibrary::LoadedLibrary(const std::string& path) : path_(path) {
  std::string reason;
  handle_ = msx::platform::OpenLibrary(path, &reason);
  if (handle_ == nullptr)
    throw HostError(kExitFailure, "cannot load the library " + path + " (" + reason + ")");
  try {
    ReadDescription();
  } catch (...) {
    msx::platform::CloseLibrary(handle_);
    throw;
  }
}

LoadedLibrary::~LoadedLibrary() { msx::platform::CloseLibrary(handle_); }

void* LoadedLibrary::FindSymbol(const char* name) const {
  return msx::platform::FindSymbol(handle_, name);
}

void* LoadedLibrary::RequireSymbol(const char* name) const {
  void* symbol = FindSymbol(name);
  if (symbol == nullptr) throw HostError(kExitFailure, std::string(name) + " missing in " + path_);
  return symbol;
}

void LoadedLibrary::ReadDescription() {
  const auto info = reinterpret_cast<InfoEntry>(RequireSymbol("MSXInfo"));
  const auto nthFunction = reinterpret_cast<NthFunctionEntry>(RequireSymbol("MSXNthFunction"));
  const auto nthArg = reinterpret_cast<NthArgEntry>(RequireSymbol("MSXNthArg"));
  const auto nthCustomString =
      reinterpret_cast<NthCustomStringEntry>(RequireSymbol("MSXNthCustomString"));

  const auto fail = [&](const std::string& what) {
    throw HostError(kExitFailure, what + " in " + path_);
  };
  const auto check = [&](int32_t rc, const std::string& call) {
    if (rc != 0) fail(call + " returned " + FormatInt(rc));
  };

  msx::LibraryDescription library{};
  check(info(&library), "MSXInfo");
  info_.text = Text(library.text);
  info_.functionCount = library.functionCount;
  info_.version = library.version;
  if (library.functionCount < 0 || library.functionCount > kMostFunctions)
    fail(Cat("MSXInfo reports ", FormatInt(library.functionCount), " functions"));

  for (int32_t f = 0; f < library.functionCount; ++f) {
    msx::FunctionDescription function{};
    check(nthFunction(f, &function), EntryCall("MSXNthFunction", {f}));
    if (function.argumentCount < 0 || function.argumentCount > kMostArguments)
      fail(EntryCall("MSXNthFunction", {f}) + " reports " + FormatInt(function.argumentCount) +
           " arguments");
    FunctionInfo& described = info_.functions.emplace_back();
    described.index = f;
    described.name = Text(function.name);
    described.description = Text(function.description);

    for (int32_t a = 0; a < function.argumentCount; ++a) {
      msx::ArgumentDescription argument{};
      check(nthArg(f, a, &argument), EntryCall("MSXNthArg", {f, a}));
      if (argument.customStringCount < 0 || argument.customStringCount > kMostCustomStrings)
        fail(EntryCall("MSXNthArg", {f, a}) + " reports " + FormatInt(argument.customStringCount) +
             " custom strings");
      ArgumentInfo& arg = described.arguments.emplace_back();
      arg.type = argument.type;
      arg.name = Text(argument.name);

      for (int32_t s = 0; s < argument.customStringCount; ++s) {
        msx::CustomStringDescription choice{};
        check(nthCustomString(f, a, s, &choice), EntryCall("MSXNthCustomString", {f, a, s}));
        arg.choices.push_back({Text(choice.text), choice.id});
      }
    }
  }
}

const FunctionInfo* LoadedLibrary::FindFunction(std::string_view name) const {
  for (const FunctionInfo& function : info_.functions)
    if (EqualsIgnoreCase(function.name, name)) return &function;
  return nullptr;
}

msx::HostFunction LoadedLibrary::Function(const std::string& name) const {
  void* symbol = FindSymbol(name.c_str());
  if (symbol == nullptr) throw HostError(kExitFailure, name + " is not exported by " + path_);
  return reinterpret_cast<msx::HostFunction>(symbol);
}

int32_t LoadedLibrary::Call(const std::string& name, const msx::HostDataRecord& data,
                            HostArguments& arguments, msx::ResultRec& result) const {
  const msx::HostFunction function = Function(name);
  return function(&data, &arguments.series, &arguments.numeric, &arguments.strings,
                  &arguments.custom, &result);
}

}  // namespace msxhost
