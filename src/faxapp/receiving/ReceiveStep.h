#pragma once

// The receiver as a step of the queue service: run after each sending pass on its thread.

#include "faxapp/sending/FaxSettings.h"
#include "faxapp/sending/QueueService.h"

#include <memory>

namespace faxapp {

// nullptr when the settings turn receiving off or name no data folder.
std::unique_ptr<ServiceStep> MakeReceiveStep(const FaxSettings& settings);

} // namespace faxapp
