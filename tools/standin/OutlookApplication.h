#pragma once

#include "platform/Automation.h"

namespace standin {

// Outlook.Application: the MAPI namespace with a tree of folders and contacts, read from the
// JSON file named by KALMO_STANDIN_OUTLOOK when the object is created (docs/standin.md).
DispatchPtr MakeOutlookApplication();

} // namespace standin
