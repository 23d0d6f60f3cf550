#pragma once

// The private server's spool: a copy of the installed one (queues, scripts, configuration),
// handed to uucp, with no mail, modem locks inside, the password users and the loopback
// address let in, and, when asked, a stand-in for the send program. Also the client tools'
// HOME with the job list format the tests read.

#include "PrivateHylafax.h"

#include <QString>

class PrivateSpool {
public:
    static bool Fill(const QString& spool, const QString& home,
                     const PrivateHylafax::Options& options, QString& error);
};
