// The text of an INI file, read and edited by the rules of the Windows
// profile API: the POSIX port's settings file. Pure text work: the port reads
// the file, asks here, and writes the edited text back.
//
// Sections are headed "[name]" (the name runs to the last "]" of the line);
// keys are lines "key=value" (the key runs to the first "="). Names compare
// without regard to ASCII case; blanks and tabs around names and values do
// not count, nor one pair of matching quotes around a value. Keys before the
// first header belong to the section with the empty name. Lines that are
// neither (blank lines, comments) are kept as they are and never count as
// keys. Where a section or a key appears twice, the first one counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace msx::platform::ini {

// The value of key in section, or nothing when either is missing.
std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key);

// True when section holds at least one key.
bool SectionHasKeys(std::string_view text, std::string_view section);

// The text with key in section set to value: the key's line rewritten in
// place, or a new line after the section's last key, or a new section at
// the end of the text (the empty section: at its start). Every other line
// stays byte for byte; new lines end in CR LF.
std::string Set(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value);

// The text without the line of key in section; the same text when there is
// no such key. Every other line stays byte for byte.
std::string Remove(std::string_view text, std::string_view section, std::string_view key);

}  // namespace msx::platform::ini
