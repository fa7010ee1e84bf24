// The lines of a loaded data file, over any bytes: the text up to the first
// NUL is exactly the lines with one line end (CR LF, CR or LF) after each but
// perhaps the last; no line holds a CR or LF; the lines view the list's own
// copy; and a list assigned again holds only the new text's lines.
#include "FuzzInput.h"
#include "exchange/DataFileText.h"

namespace {

void CheckLines(const msx::DataLines& lines, std::string_view text, std::string_view input) {
  const auto shown = [&] { return fuzz::Printable(text); };
  std::size_t at = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    if (line.find_first_of("\r\n") != std::string_view::npos)
      fuzz::Fail("line " + std::to_string(k) + " holds a line end: " + shown());
    if (!line.empty() && line.data() >= input.data() && line.data() < input.data() + input.size())
      fuzz::Fail("line " + std::to_string(k) + " views the caller's text: " + shown());
    if (text.substr(at, line.size()) != line)
      fuzz::Fail("line " + std::to_string(k) + " is not the text at " + std::to_string(at) + ": " +
                 shown());
    at += line.size();
    if (text.substr(at, 2) == "\r\n")
      at += 2;
    else if (at < text.size() && (text[at] == '\r' || text[at] == '\n'))
      ++at;
    else if (k + 1 != lines.size() || at != text.size())
      fuzz::Fail("line " + std::to_string(k) + " is not followed by a line end: " + shown());
  }
  if (at != text.size()) fuzz::Fail("the lines stop before the text ends: " + shown());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view text = input.substr(0, input.find('\0'));

  msx::DataLines lines;
  lines.Assign(std::string(input));
  CheckLines(lines, text, input);

  // The same list over the second half: nothing of the first text stays.
  const std::string_view second = input.substr(size / 2);
  lines.Assign(std::string(second));
  CheckLines(lines, second.substr(0, second.find('\0')), input);

  lines.Clear();
  if (lines.size() != 0) fuzz::Fail("a cleared list holds lines");
  return 0;
}
