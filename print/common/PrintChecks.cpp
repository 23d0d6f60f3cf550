#include "PrintChecks.h"

#include "fax/SffFormat.h"

#include <algorithm>
#include <cstdint>

namespace kalmoprint {

namespace {

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

// Decodes one UTF-8 character at text[i]; the number of bytes it takes, 0 when invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0u) != 0x80u)
            return 0;
        code = (code << 6) | (byte(k) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool IsControl(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

// Splits an option string into name and value pairs as cupsParseOptions does, calling
// visit(name, value) for each; stops early when visit returns true.
template <typename Visit> void ForEachOption(std::string_view text, Visit visit) {
    std::size_t i = 0;
    const auto blank = [&](std::size_t k) {
        return text[k] == ' ' || text[k] == '\t' || text[k] == '\n' || text[k] == '\r';
    };
    while (i < text.size()) {
        while (i < text.size() && blank(i))
            ++i;
        const std::size_t nameStart = i;
        while (i < text.size() && !blank(i) && text[i] != '=')
            ++i;
        const std::string_view name = text.substr(nameStart, i - nameStart);
        std::string value;
        bool hasValue = false;
        if (i < text.size() && text[i] == '=') {
            hasValue = true;
            ++i;
            while (i < text.size() && !blank(i)) {
                const char c = text[i];
                if (c == '\'' || c == '"') {
                    ++i;
                    while (i < text.size() && text[i] != c) {
                        if (text[i] == '\\' && i + 1 < text.size())
                            ++i;
                        value += text[i++];
                    }
                    if (i < text.size())
                        ++i; // the closing quote
                } else if (c == '\\' && i + 1 < text.size()) {
                    value += text[i + 1];
                    i += 2;
                } else {
                    value += c;
                    ++i;
                }
            }
        }
        if (name.empty())
            continue;
        if (!hasValue) {
            if (name.size() > 2 && name.substr(0, 2) == "no") {
                if (visit(name.substr(2), std::string("false")))
                    return;
                continue;
            }
            value = "true";
        }
        if (visit(name, value))
            return;
    }
}

// "1", "2-5", "7-", "1,3-4": what Ghostscript's PageList takes, and nothing else.
bool IsPageRanges(std::string_view text) {
    if (text.empty() || text.size() > 64)
        return false;
    bool digitBefore = false;
    bool dashInRange = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digitBefore = true;
        } else if (c == '-' && digitBefore && !dashInRange) {
            dashInRange = true;
            digitBefore = false;
        } else if (c == ',' && (digitBefore || dashInRange)) {
            digitBefore = false;
            dashInRange = false;
        } else {
            return false;
        }
    }
    return digitBefore || dashInRange;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

void ApplyResolution(std::string_view value, FaxSettings& settings) {
    if (EqualsNoCase(value, "204x196dpi") || EqualsNoCase(value, "fine"))
        settings.resolution = FaxResolution::fine;
    else if (EqualsNoCase(value, "204x98dpi") || EqualsNoCase(value, "normal"))
        settings.resolution = FaxResolution::normal;
}

void ApplyPaper(std::string_view value, FaxSettings& settings) {
    if (EqualsNoCase(value, "A4") || EqualsNoCase(value, "iso_a4_210x297mm"))
        settings.paper = FaxPaper::a4;
    else if (EqualsNoCase(value, "Letter") || EqualsNoCase(value, "na_letter_8.5x11in"))
        settings.paper = FaxPaper::letter;
}

// The value of a PPD main keyword ("*DefaultResolution: 204x98dpi"), or empty.
std::string_view PpdDefault(std::string_view ppd, std::string_view keyword) {
    std::size_t at = 0;
    while ((at = ppd.find(keyword, at)) != std::string_view::npos) {
        const bool lineStart = at == 0 || ppd[at - 1] == '\n' || ppd[at - 1] == '\r';
        at += keyword.size();
        if (!lineStart)
            continue;
        while (at < ppd.size() && (ppd[at] == ' ' || ppd[at] == '\t'))
            ++at;
        std::size_t end = at;
        while (end < ppd.size() && ppd[end] != '\n' && ppd[end] != '\r' && ppd[end] != ' ' &&
               ppd[end] != '\t')
            ++end;
        return ppd.substr(at, end - at);
    }
    return {};
}

} // namespace

bool IsValidUserName(std::string_view name) {
    if (name.empty() || name.size() > kMaxUserNameBytes)
        return false;
    if (name.front() == '-' || name.front() == '.')
        return false;
    const std::string_view body = name.back() == '$' ? name.substr(0, name.size() - 1) : name;
    if (body.empty())
        return false;
    return std::all_of(body.begin(), body.end(), IsNameChar) &&
           body.find("..") == std::string_view::npos;
}

std::string CleanTitle(std::string_view title) {
    std::string clean;
    clean.reserve(std::min(title.size(), kMaxTitleBytes));
    std::size_t i = 0;
    while (i < title.size()) {
        std::uint32_t code = 0;
        const std::size_t length = DecodeUtf8(title, i, code);
        std::string_view piece;
        if (length == 0) {
            piece = "?";
            i += 1;
        } else if (IsControl(code)) {
            piece = " ";
            i += length;
        } else {
            piece = title.substr(i, length);
            i += length;
        }
        if (clean.empty() && piece == " ")
            continue;
        if (clean.size() + piece.size() > kMaxTitleBytes)
            break;
        clean += piece;
    }
    while (!clean.empty() && clean.back() == ' ')
        clean.pop_back();
    return clean;
}

std::optional<std::string> FindOption(std::string_view options, std::string_view name) {
    std::optional<std::string> found;
    ForEachOption(options, [&](std::string_view n, const std::string& value) {
        if (EqualsNoCase(n, name))
            found = value; // the last one given wins, as in cupsParseOptions
        return false;
    });
    return found;
}

std::optional<std::string> CheckAuthenticatedUser(const char* authUid, const char* authUsername,
                                                  const char* authInfoRequired,
                                                  std::string_view user, uid_t uid) {
    const std::string who = "the job's user \"" + std::string(user) + "\"";
    if (authUid != nullptr) {
        const std::string_view text(authUid);
        if (text.empty() || text.size() > 10 || !AllDigits(text))
            return "CUPS named no valid uid of the user who printed (AUTH_UID \"" +
                   std::string(text.substr(0, 16)) + "\")";
        if (std::stoull(std::string(text)) != uid)
            return "the job was printed by uid " + std::string(text) + ", not by " + who;
        return std::nullopt;
    }
    if (authUsername != nullptr && authInfoRequired != nullptr &&
        std::string_view(authInfoRequired) == "none") {
        if (std::string_view(authUsername) != user)
            return "the job was printed by another user than " + who;
        return std::nullopt;
    }
    return std::string(
        "the queue does not authenticate its users: run kalmosend-setup-printer add");
}

std::optional<std::uint64_t> MaxDocumentBytes(const char* setting) {
    constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;
    if (setting == nullptr || *setting == '\0')
        return kDefaultMaxDocumentMib * mib;
    const std::string_view text(setting);
    if (text.size() > 7 || text.front() == '0' || !AllDigits(text))
        return std::nullopt;
    const std::uint64_t value = std::stoull(std::string(text));
    if (value > 1048576)
        return std::nullopt;
    return value * mib;
}

bool IsValidJobId(std::string_view id) {
    return !id.empty() && id.size() <= 10 && AllDigits(id);
}

FaxSettings SettingsOf(std::string_view ppdText, std::string_view options) {
    FaxSettings settings;
    ApplyResolution(PpdDefault(ppdText, "*DefaultResolution:"), settings);
    ApplyPaper(PpdDefault(ppdText, "*DefaultPageSize:"), settings);
    for (const char* name : {"printer-resolution", "Resolution"}) {
        if (const auto value = FindOption(options, name))
            ApplyResolution(*value, settings);
    }
    for (const char* name : {"media", "PageSize"}) {
        if (const auto value = FindOption(options, name))
            ApplyPaper(*value, settings);
    }
    if (const auto ranges = FindOption(options, "page-ranges"); ranges && IsPageRanges(*ranges))
        settings.pageRanges = *ranges;
    return settings;
}

void SffStreamCheck::Feed(const unsigned char* data, std::size_t size, std::string& out) {
    std::size_t i = 0;
    while (i < size && m_state != State::failed) {
        if (m_state == State::skip) { // the bulk of a document: rows, taken whole
            const std::size_t take = std::min(m_skip, size - i);
            out.append(reinterpret_cast<const char*>(data + i), take);
            i += take;
            m_skip -= take;
            if (m_skip == 0)
                m_state = State::record;
            continue;
        }
        Step(data[i++], out);
    }
}

void SffStreamCheck::Fail(std::string why) {
    m_state = State::failed;
    m_fault = std::move(why);
}

void SffStreamCheck::Step(unsigned char byte, std::string& out) {
    const bool first = m_documents == 0;
    switch (m_state) {
    case State::ended: // another document follows: its header is left out
        m_header.clear();
        m_pagesOfDocument = 0;
        ++m_documents;
        m_state = State::header;
        [[fallthrough]];
    case State::header: {
        m_header += static_cast<char>(byte);
        if (m_header.size() < sff::kDocumentHeaderSize)
            return;
        const auto* header = reinterpret_cast<const unsigned char*>(m_header.data());
        if (!sff::HasMagic(header))
            return Fail("not an SFF document");
        const auto at = [&](std::size_t k) { return static_cast<unsigned char>(m_header[k]); };
        if (at(4) != 1)
            return Fail("SFF version " + std::to_string(at(4)) + " is not supported");
        const std::size_t firstPage = sff::FirstPageOffset(header);
        if (firstPage < sff::kDocumentHeaderSize)
            return Fail("the SFF document's first page header is inside its header");
        if (first)
            out += m_header;
        m_skip = firstPage - sff::kDocumentHeaderSize;
        m_state = m_skip > 0 ? State::toFirstPage : State::record;
        return;
    }
    case State::toFirstPage:
        if (first)
            out += static_cast<char>(byte);
        if (--m_skip == 0)
            m_state = State::record;
        return;
    case State::record:
        if (byte == sff::kPageHeaderMarker) {
            m_state = State::pageLength; // held back until its length tells an end from a page
            return;
        }
        if (m_pagesOfDocument == 0)
            return Fail("the SFF document has data before its first page header");
        out += static_cast<char>(byte);
        if (byte == sff::kEscapeRecord) {
            m_state = State::escapeLow;
        } else if (byte <= sff::kLastShortRecord) {
            m_skip = byte;
            m_state = State::skip;
        } else if (byte == sff::kUserInfoRecord) {
            m_state = State::infoLength;
        } // 217..253: blank rows, no bytes follow
        return;
    case State::pageLength:
        if (byte == 0) {
            if (m_pagesOfDocument == 0)
                return Fail("the SFF document has no pages");
            m_state = State::ended; // the end pair is written by Finish, once
            return;
        }
        out += static_cast<char>(sff::kPageHeaderMarker);
        out += static_cast<char>(byte);
        ++m_pages;
        ++m_pagesOfDocument;
        m_skip = byte;
        m_state = State::skip;
        return;
    case State::skip:
        out += static_cast<char>(byte);
        if (--m_skip == 0)
            m_state = State::record;
        return;
    case State::escapeLow:
        out += static_cast<char>(byte);
        m_escapeLow = byte;
        m_state = State::escapeHigh;
        return;
    case State::escapeHigh:
        out += static_cast<char>(byte);
        m_skip = m_escapeLow | static_cast<std::size_t>(byte) << 8;
        m_state = m_skip > 0 ? State::skip : State::record;
        return;
    case State::infoLength:
        out += static_cast<char>(byte);
        m_skip = byte;
        m_state = m_skip > 0 ? State::skip : State::record;
        return;
    case State::failed:
        return;
    }
}

std::optional<std::string> SffStreamCheck::Finish(std::string& out) {
    if (m_state == State::failed)
        return m_fault;
    if (m_state == State::ended) {
        out += std::string("\xFE\x00", 2);
        return std::nullopt;
    }
    if (m_state == State::header && m_documents == 0)
        return "not an SFF document";
    return "the SFF document is cut short (no end-of-document mark)";
}

} // namespace kalmoprint
