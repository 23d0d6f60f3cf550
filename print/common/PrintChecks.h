#pragma once

// Checks of what reaches the printer's programs from a print job: the user name, the title,
// the options, the document. Everything here is hostile until it has passed these checks.
// No Qt: the backend that links this runs as root until it has switched to the job's user.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

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

// Why the job's user name cannot be taken as the user who printed, or nothing when it can.
// CUPS hands a backend the job's owner as its second argument, and exports AUTH_UID (the
// client's uid from the local socket's peer credentials) and AUTH_USERNAME only for a job whose
// user it authenticated; a queue whose policy does not authenticate exports neither, and the
// owner is any name the client sent. The job is taken when AUTH_UID is the user's uid, or,
// without AUTH_UID (Basic over TCP), when AUTH_USERNAME is the user's name and the queue asks
// the client for no credentials for the device (AUTH_INFO_REQUIRED "none"; otherwise the
// client fills AUTH_USERNAME itself through "auth-info"). Null pointers are unset variables.
std::optional<std::string> CheckAuthenticatedUser(const char* authUid, const char* authUsername,
                                                  const char* authInfoRequired,
                                                  std::string_view user, uid_t uid);

// The largest document the backend takes by default: 256 MiB.
inline constexpr std::uint64_t kDefaultMaxDocumentMib = 256;

// The largest document in bytes as the setting (KALMO_MAX_DOCUMENT_MIB: a whole number of MiB,
// 1 to 1048576) says; not set or empty: the default; nothing when it is not such a number.
std::optional<std::uint64_t> MaxDocumentBytes(const char* setting);

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

// Walks a document's records as it streams past and passes it on: an SFF document (header
// "Sfff", version 1; page headers, rows, blank rows, user information; the end-of-document
// pair FE 00 at the end). Documents that follow one another in the stream (a job of several
// files reaches the backend as one stream) are joined into one: the later headers and the
// earlier ends are left out. Ghostscript writes the header's page count and end offsets as 0,
// so they are not looked at.
class SffStreamCheck {
public:
    // Appends to out what is to be written of these bytes.
    void Feed(const unsigned char* data, std::size_t size, std::string& out);
    // Nothing when the stream was one or more whole SFF documents with pages, and out has the
    // end of the joined document; else why not.
    std::optional<std::string> Finish(std::string& out);
    int Pages() const { return m_pages; }

private:
    enum class State {
        header,      // collecting a document header
        toFirstPage, // bytes between the header and the first page header
        record,      // at the start of a record
        pageLength,  // after FE: 0 ends the document, else a page header's length
        skip,        // inside a record's bytes
        escapeLow,   // after 00: the low byte of the row's length
        escapeHigh,  // the high byte
        infoLength,  // after FF: 0 (a bad row) or the length of user information
        ended,       // after FE 00
        failed,
    };
    void Step(unsigned char byte, std::string& out);
    void Fail(std::string why);

    State m_state = State::header;
    std::string m_header;
    std::size_t m_skip = 0;
    std::size_t m_escapeLow = 0;
    int m_documents = 0;
    int m_pages = 0;
    int m_pagesOfDocument = 0;
    std::string m_fault;
};

} // namespace kalmoprint
