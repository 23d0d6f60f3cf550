#include "GhostscriptArgs.h"

namespace kalmoprint {

std::vector<std::string> GhostscriptArgs(const FaxSettings& settings, const std::string& input) {
    return {
        "gs",
        "-q",
        "-dSAFER",
        "-dBATCH",
        "-dNOPAUSE",
        "-dNOINTERPOLATE",
        "-sDEVICE=cfax",
        settings.resolution == FaxResolution::normal ? "-r204x98" : "-r204x196",
        settings.paper == FaxPaper::letter ? "-sPAPERSIZE=letter" : "-sPAPERSIZE=a4",
        "-dFIXEDMEDIA",
        "-dPDFFitPage",
        // The document goes to standard output; anything the PDF prints goes to the log.
        "-sstdout=%stderr",
        "-sOutputFile=%stdout",
        "-f",
        input,
    };
}

} // namespace kalmoprint
