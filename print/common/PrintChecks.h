#pragma once

// Checks of what reaches the printer's programs from a print job: the user name, the title,
// the options, the document. Everything here is hostile until it has passed these checks.
// No Qt: the backend that links this runs as root until it has switched to the job's user.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kalmoprint {

// The exit codes of a CUPS backend (cups/backend.h).
enum BackendStatus : int {
    kBackendOk = 0,
    kBackendFailed = 1,
    kBackendAuthRequired = 2,
    kBackendHold = 3,
    kBackendStop = 4,
    kBackendCancel = 5,
};

inline constexpr std::size_t kMaxUserNameBytes = 32;
inline constexpr std::size_t kMaxTitleBytes = 200;

// A user name that may be looked up and printed: 1 to 32 of A-Z a-z 0-9 . _ -, not starting
// with "-" or ".", optionally ending in "$" (machine accounts). Rules out "/", "..", blanks
// and control characters.
bool IsValidUserName(std::string_view name);

// The title as the send dialog gets it: invalid UTF-8 becomes "?", control characters
// (C0, DEL, C1, line and paragraph separators) become blanks, leading and trailing blanks
// go, and it is cut at a character boundary to at most kMaxTitleBytes bytes.
std::string CleanTitle(std::string_view title);

// The value of one option in a CUPS option string ("a=1 b='x y' c"); a bare name is "true",
// "noname" is "false". Nothing when the option is not given.
std::optional<std::string> FindOption(std::string_view options, std::string_view name);

// A CUPS job id: 1 to 10 digits.
bool IsValidJobId(std::string_view id);

// Fax resolutions of the printer.
enum class FaxResolution { fine, normal };
enum class FaxPaper { a4, letter };

struct FaxSettings {
    FaxResolution resolution = FaxResolution::fine;
    FaxPaper paper = FaxPaper::a4;
    std::string pageRanges; // "1-3,7", checked; empty: all pages
};

// The settings of a job: the PPD's defaults (the *Default lines of the printer's PPD text),
// overridden by the job's options (Resolution, PageSize, media, printer-resolution).
// Values it does not know leave the setting as it was; page-ranges that are not digits,
// commas and dashes (at most 64 of them) are ignored.
FaxSettings SettingsOf(std::string_view ppdText, std::string_view options);

// Checks a document, as it streams past, for the shape of an SFF file: the document header
// ("Sfff", version 1, the first page header's offset), a page header there, and the
// end-of-document pair FE 00 as its last two bytes. Ghostscript writes the header's page
// count and end offsets as 0, so they are not looked at.
class SffStreamCheck {
public:
    void Feed(const unsigned char* data, std::size_t size);
    // Nothing when the document passed; else why not.
    std::optional<std::string> Finish() const;

private:
    static constexpr std::size_t kHeadLimit = 4096;
    std::string m_head; // the first bytes, up to the first page header
    unsigned char m_last[2] = {0, 0};
    std::size_t m_size = 0;
};

} // namespace kalmoprint
