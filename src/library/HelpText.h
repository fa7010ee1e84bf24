// The help text: the description lines of every registered function, built at
// load and shown by the load-time announcement. A fixed buffer, so that it
// needs no construction or destruction of its own and is usable from the
// first load step to the last unload step.
#pragma once

#include <cstddef>
#include <string_view>

namespace msx {

class HelpTextBuffer {
 public:
  static constexpr std::size_t kCapacity = 16384;

  // Appends text; what does not fit is dropped.
  void Append(std::string_view text) noexcept;
  void Clear() noexcept { size_ = 0; }
  std::string_view View() const noexcept { return {data_, size_}; }
  // NUL-terminated, for APIs that take a C string.
  const char* CStr() noexcept {
    data_[size_] = '\0';
    return data_;
  }

 private:
  char data_[kCapacity + 1];
  std::size_t size_;
};

extern HelpTextBuffer gHelpText;

}  // namespace msx
