// The reversal rule of the trailing lines (NRTR, NRTR_WATR). In an up phase
// the line trails below the highest price since the phase began, in a down
// phase above the lowest; when the price crosses the line the phase turns and
// the line jumps to the other side. Before the first turn (undecided) both
// sides are tried on every bar and the line shows the upper one.
//
// The lines themselves belong to the indicator: Lines supplies
// Below(high) and Above(low), each the line's value as stored (a float), and
// every comparison with the price is made against that stored value.
#pragma once

namespace msx {

class TrailingReversal {
 public:
  enum Phase { kDown = -1, kUndecided = 0, kUp = 1 };

  // Starts undecided with both marks at the first bar's price.
  explicit TrailingReversal(double price) : high_(price), low_(price) {}

  // One bar: moves the marks, turns the phase where the price crosses the
  // line, and returns the bar's line.
  template <class Lines>
  float Step(float price, Lines& lines) {
    float line = 0;
    if (phase_ >= kUndecided) {
      if (price > high_) high_ = price;
      line = lines.Below(high_);
      if (price <= line) {
        phase_ = kDown;
        low_ = price;
        line = lines.Above(low_);
      }
    }
    // With the phase as the up side left it: a turn down on this bar is
    // followed by the down side's step at once.
    if (phase_ <= kUndecided) {
      if (price < low_) low_ = price;
      line = lines.Above(low_);
      if (price > line) {
        phase_ = kUp;
        high_ = price;
        line = lines.Below(high_);
      }
    }
    return line;
  }

  Phase phase() const { return phase_; }

 private:
  double high_;  // highest price of the up phase
  double low_;   // lowest price of the down phase
  Phase phase_ = kUndecided;
};

}  // namespace msx
