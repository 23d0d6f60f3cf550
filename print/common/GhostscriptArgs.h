#pragma once

#include "PrintChecks.h"

#include <string>
#include <vector>

namespace kalmoprint {

// The command line of Ghostscript that turns the PDF at input ("-": standard input) into an
// SFF document on standard output with the settings' resolution and paper. Nothing of the
// job but the settings' fixed values reaches it.
std::vector<std::string> GhostscriptArgs(const FaxSettings& settings, const std::string& input);

} // namespace kalmoprint
