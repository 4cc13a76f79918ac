// The InputError that a piece of input reading throws, for tests of bad input.
#pragma once

#include <gtest/gtest.h>

#include "textio/input_error.h"

namespace lg::testing {

// The InputError that f throws; a test failure when it throws none.
template <class F>
InputError input_error(F f) {
  try {
    f();
  } catch (const InputError& e) {
    return e;
  }
  ADD_FAILURE() << "no InputError was thrown";
  return InputError("", -1, "");
}

}  // namespace lg::testing
