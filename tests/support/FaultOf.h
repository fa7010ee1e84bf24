// The message of the fault a piece of code raises, or "no fault".
#pragma once

#include <string>

#include "common/Fault.h"

namespace msx {

template <class Body>
std::string FaultOf(Body&& body) {
  try {
    body();
  } catch (const Fault& f) {
    return f.what();
  }
  return "no fault";
}

}  // namespace msx
