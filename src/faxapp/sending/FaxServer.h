#pragma once

// The fax server as the queue runner sees it: create a job, submit it, ask for its state.
// HylaFAX is the one in use; the runner's tests put a scripted one in its place where they
// need failures a real server does not produce on demand.

#include "faxapp/hylafax/HylafaxClient.h"

#include <QString>
#include <memory>
#include <optional>

namespace faxapp {

class FaxServer {
public:
    using Failure = HylafaxClient::Failure;

    virtual ~FaxServer() = default;
    // "host:port", recorded with each job so that its state is asked of the same server.
    virtual QString Name() const = 0;
    virtual std::optional<QString> Create(const HylafaxSubmission& submission) = 0;
    virtual bool Submit(const QString& jobId) = 0;
    virtual std::optional<HylafaxJobStatus> Status(const QString& jobId) = 0;
    virtual Failure LastFailure() const = 0;
    virtual QString LastError() const = 0;
};

// A HylaFAX server reached with account, or at name ("host:port", as Name() gives it) with
// the account's user and password; the connection is made at the first call.
std::unique_ptr<FaxServer> MakeHylafaxServer(const HylafaxAccount& account,
                                             const QString& name = {});

} // namespace faxapp
