#include "GhostscriptArgs.h"

namespace kalmoprint {

std::vector<std::string> GhostscriptArgs(const FaxSettings& settings, const std::string& input) {
    std::vector<std::string> args{
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
    };
    // Checked by SettingsOf: digits, commas and dashes only.
    if (!settings.pageRanges.empty())
        args.push_back("-sPageList=" + settings.pageRanges);
    // The document goes to standard output; anything the PDF prints goes to the log.
    args.insert(args.end(), {"-sstdout=%stderr", "-sOutputFile=%stdout", "-f", input});
    return args;
}

} // namespace kalmoprint
