// Owners of the memory the host hands to the library: value arrays of
// msx::kMaxBars floats, texts, the four argument arrays and the result
// record. Everything the library receives a pointer to lives on the heap, so
// the pointers stay valid when these objects move.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host/MSXStruct.h"

namespace msxhost {

// A host value array: indexes 0 to msx::kMaxBars - 1 and a valid range.
class HostArray {
 public:
  // Every value `fill`; the range empty (first 0, last -1).
  explicit HostArray(float fill = 0.0f);

  // The record handed to the library (values, first, last).
  msx::HostSeries* series() { return &block_->series; }
  const msx::HostSeries& series() const { return block_->series; }

  std::span<float> values() { return block_->values; }
  std::span<const float> values() const { return block_->values; }

  int32_t first() const { return block_->series.first; }
  int32_t last() const { return block_->series.last; }
  void SetRange(int32_t first, int32_t last);

 private:
  struct Block {
    msx::HostSeries series;
    float values[msx::kMaxBars];
  };
  std::unique_ptr<Block> block_;
};

// A copy of `column` at indexes 0 to size - 1, zeros after it, valid range
// 0 to size - 1 (empty for an empty column). The column must hold at most
// msx::kMaxBars values.
HostArray MakeSeries(std::span<const float> column);

// `value` at every index 0 to bars - 1, zeros after it, range 0 to bars - 1.
HostArray ConstantSeries(float value, int32_t bars);

// A NUL-terminated text the library may read through a char*.
class HostText {
 public:
  explicit HostText(std::string_view text);
  char* data() { return text_.get(); }

 private:
  std::unique_ptr<char[]> text_;
};

// The four argument arrays of one call, filled in the order of the function's
// arguments of each type. Adding a tenth entry of one type throws HostError
// (kExitFailure): the host has room for msx::kMaxArgs.
struct HostArguments {
  msx::HostSeriesArgs series{};
  msx::HostNumericArgs numeric{};
  msx::HostStringArgs strings{};
  msx::HostCustomArgs custom{};

  void AddSeries(msx::HostSeries* value);
  void AddNumber(float value);
  void AddString(char* text);
  void AddCustom(int32_t id);
};

// A result record with a value array of its own, prepared as the tester's
// host does before every call: values NaN, range first 0 last -1,
// szExtendedError all zero.
class HostResult {
 public:
  HostResult();

  // Back to that state with every value `fill`: a call's record made ready
  // again without a new allocation.
  void Reset(float fill);

  msx::ResultRec* record() { return record_.get(); }
  HostArray& array() { return array_; }
  const HostArray& array() const { return array_; }

  // szExtendedError up to its NUL (at most 100 characters).
  std::string extendedError() const;

 private:
  HostArray array_;
  std::unique_ptr<msx::ResultRec> record_;
};

}  // namespace msxhost
