#pragma once

#include "platform/Automation.h"

namespace standin {

// MAPI.Session: log-on, address lists and their entries with fields by MAPI property tag, read
// from the JSON file named by KALMO_STANDIN_MAPI at each log-on (docs/standin.md).
DispatchPtr MakeCdoSession();

} // namespace standin
