#pragma once

#include "platform/Automation.h"

namespace standin {

// KalmoTest.Echo, a class for the tests of the automation layer itself (docs/standin.md):
//   1 method  returns its first argument (nothing without one)
//   2 method  returns a new Echo object
//   3 method  returns the null dispatch
//   4 method  returns nothing
//   5 method  returns the same child object at every call
//   6 method  waits the number of milliseconds of its first argument, then returns 0 (VT_I4)
//   7 method  fails with the code (VT_I4) and text (BSTR) of its arguments
DispatchPtr MakeEchoObject();

} // namespace standin
