#include "HostRecords.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "HostError.h"
#include "Text.h"

namespace msxhost {
namespace {

[[noreturn]] void TooMany(const char* kind) {
  throw HostError(kExitFailure, std::string("more than ") + FormatInt(msx::kMaxArgs) + " " + kind +
                                    " arguments in one call");
}

}  // namespace

HostArray::HostArray(float fill) : block_(std::make_unique<Block>()) {
  std::fill(std::begin(block_->values), std::end(block_->values), fill);
  block_->series = {block_->values, 0, -1};
}

void HostArray::SetRange(int32_t first, int32_t last) {
  block_->series.first = first;
  block_->series.last = last;
}

HostArray MakeSeries(std::span<const float> column) {
  HostArray array;
  const std::size_t n = std::min(column.size(), static_cast<std::size_t>(msx::kMaxBars));
  std::copy_n(column.begin(), n, array.values().begin());
  array.SetRange(0, static_cast<int32_t>(n) - 1);
  return array;
}

HostArray ConstantSeries(float value, int32_t bars) {
  HostArray array;
  const int32_t n = std::clamp(bars, 0, msx::kMaxBars);
  std::fill_n(array.values().begin(), n, value);
  array.SetRange(0, n - 1);
  return array;
}

HostText::HostText(std::string_view text) : text_(std::make_unique<char[]>(text.size() + 1)) {
  std::memcpy(text_.get(), text.data(), text.size());
  text_[text.size()] = '\0';
}

void HostArguments::AddSeries(msx::HostSeries* value) {
  if (series.count >= msx::kMaxArgs) TooMany("series");
  series.items[series.count++] = value;
}

void HostArguments::AddNumber(float value) {
  if (numeric.count >= msx::kMaxArgs) TooMany("numeric");
  numeric.items[numeric.count++] = value;
}

void HostArguments::AddString(char* text) {
  if (strings.count >= msx::kMaxArgs) TooMany("string");
  strings.items[strings.count++] = text;
}

void HostArguments::AddCustom(int32_t id) {
  if (custom.count >= msx::kMaxArgs) TooMany("custom");
  custom.items[custom.count++] = id;
}

HostResult::HostResult()
    : array_(std::numeric_limits<float>::quiet_NaN()), record_(std::make_unique<msx::ResultRec>()) {
  record_->result = array_.series();
  std::memset(record_->szExtendedError, 0, sizeof record_->szExtendedError);
}

void HostResult::Reset(float fill) {
  std::fill(array_.values().begin(), array_.values().end(), fill);
  array_.SetRange(0, -1);
  std::memset(record_->szExtendedError, 0, sizeof record_->szExtendedError);
}

std::string HostResult::extendedError() const {
  return FieldText(record_->szExtendedError, sizeof record_->szExtendedError);
}

}  // namespace msxhost
