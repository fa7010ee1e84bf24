// The half of the common-functions module that reaches the platform.
#include "common/MSX_QMR_CommonFunc.h"

#include "platform/Platform.h"

namespace msx {
namespace {

constexpr int32_t kCyrillicOemCodePage = 866;

// The library's file log. Logging is off: it returns without opening,
// creating or writing anything.
void FileLog(std::string_view /*message*/, const char* /*path*/) {}

}  // namespace

void MakeOemLine(std::string& text) {
  text.append("\r\n");
  platform::ConvertAnsiToOem(text.data(), text.size());
}

bool AppendLine(std::string_view line, const std::string& path) {
  std::string text;
  text.reserve(line.size() + 2);
  text.append(line);
  MakeOemLine(text);
  return platform::AppendLineToFile(path, text).ok();
}

void DiagnosticLog(std::string_view message) { FileLog(message, "C:\\MSX.log"); }

void LoadCommonFunc() { SetCodePageFlag(platform::OemCodePage() == kCyrillicOemCodePage); }

void UnloadCommonFunc() {}

}  // namespace msx
