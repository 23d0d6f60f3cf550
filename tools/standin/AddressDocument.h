#pragma once

#include "platform/Automation.h"

namespace standin {

// KalmoAdr.Document: the fax entries of the file named by KALMO_STANDIN_ADDRESSBOOK, one a
// line, its tabs turned into line feeds (docs/standin.md).
DispatchPtr MakeAddressDocument();

} // namespace standin
