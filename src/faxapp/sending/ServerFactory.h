#pragma once

// The one place that knows which kinds of fax server there are: it makes the server the
// settings name, or the one a sending record names.

#include "faxapp/sending/FaxServer.h"
#include "faxapp/sending/FaxSettings.h"
#include "support/Result.h"

#include <QString>
#include <memory>

namespace faxapp {

// The server of account, or the one at record (ServerAddress::Text(), or a record's bare
// "host:port") reached with the account's user; a record that names no address means the
// account's server. The connection is made at the first call. A problem for a kind of server
// this program does not know.
Result<std::unique_ptr<FaxServer>> MakeFaxServer(const ServerAccount& account,
                                                 const QString& record = {});

} // namespace faxapp
