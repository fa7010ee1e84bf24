// What every fuzz target shares: its input cut into parts, and the one way
// a broken property ends the run (a message, then abort, which libFuzzer
// reports as a crash and keeps the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The input as `count` texts separated by NUL bytes: the texts a C string
// can hold, which is what the host and the settings file hand over. Missing
// parts are empty; the last part takes the rest, NULs included, so a target
// may read it as raw bytes.
inline std::vector<std::string_view> Parts(const uint8_t* data, std::size_t size,
                                           std::size_t count) {
  std::vector<std::string_view> parts(count);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t k = 0; k + 1 < count; ++k) {
    const std::size_t nul = rest.find('\0');
    parts[k] = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
  }
  parts[count - 1] = rest;
  return parts;
}

// A value of type T from the front of raw bytes (zero bytes where they run
// out); the bytes are taken off.
template <typename T>
T Take(std::string_view& raw) {
  unsigned char bytes[sizeof(T)] = {};
  const std::size_t n = raw.size() < sizeof(T) ? raw.size() : sizeof(T);
  if (n > 0) std::memcpy(bytes, raw.data(), n);
  raw.remove_prefix(n);
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

// A text for a message: printable ASCII as it stands, other bytes as \xNN.
inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\') {
      out += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
      out += escaped;
    }
  }
  return out;
}

// Ends the run: a broken property.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "\n*** property broken: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzz
