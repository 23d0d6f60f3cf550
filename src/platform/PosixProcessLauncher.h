#pragma once

#include "platform/ProcessLauncher.h"

// Starts programs with posix_spawn. A program that is not waited for is reaped in the
// background, so detached children never linger as zombies.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    bool Start(const ProcessStart& start) override;
};
