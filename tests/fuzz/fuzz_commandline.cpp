// The command line: the input's NUL-separated fields are the arguments. Whatever they hold,
// every argument is either taken as an option or set aside as ignored, the last value of an
// option wins, the file flags stick once set, and the resolution is 98 or 196.

#include "FuzzInput.h"
#include "app/SendCommandLineInfo.h"

namespace {

char16_t AsciiLower(QChar c) {
    const char16_t u = c.unicode();
    return u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + (u'a' - u'A')) : u;
}

// The resolution an option value names: blanks, a "+", leading zeros, then exactly the digits
// of 98 or 196; 0 for anything else.
int NamedResolution(const QString& value) {
    qsizetype i = 0;
    while (i < value.size() && value.at(i).isSpace())
        ++i;
    if (i < value.size() && value.at(i) == u'+')
        ++i;
    while (i < value.size() && value.at(i) == u'0')
        ++i;
    qsizetype end = i;
    while (end < value.size() && value.at(end) >= u'0' && value.at(end) <= u'9')
        ++end;
    const QString digits = value.mid(i, end - i);
    return digits == QLatin1String("98") ? 98 : digits == QLatin1String("196") ? 196 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    const QStringList arguments = input.Texts();
    SendCommandLineInfo info;
    info.ParseCommandLine(arguments);

    SendCommandLineInfo expected;
    std::optional<QString> ownFile; // the file of the last /c or /d
    for (const QString& arg : arguments) {
        if (!arg.startsWith(u'/') && !arg.startsWith(u'-')) {
            expected.m_ignored.append(arg);
            continue;
        }
        const QString body = arg.mid(1);
        // Letters in either case, and only the ASCII ones.
        const char16_t letter = body.isEmpty() ? u'\0' : AsciiLower(body.at(0));
        const QString value = body.mid(1);
        switch (letter) {
        case u'a':
            expected.m_bPoll = 1;
            break;
        case u'c':
        case u'd':
        case u'f':
            expected.m_printFile.path = value;
            if (letter != u'f') {
                ownFile = value;
                expected.m_printFile.ownFile = value;
            }
            expected.m_printFile.own = ownFile == value;
            expected.m_printFile.colour |= letter == u'c';
            break;
        case u'l':
            expected.m_strLanguage = value;
            break;
        case u'n':
            expected.m_strNumber = value;
            break;
        case u'r':
            if (const int r = NamedResolution(value))
                expected.m_nResolution = r;
            break;
        case u's':
            expected.m_strSendTime = value;
            break;
        case u't':
            expected.m_strTitle = value;
            break;
        case u'x':
            expected.m_bFileButton = 1;
            break;
        default:
            expected.m_ignored.append(body);
            break;
        }
    }

    FUZZ_CHECK(info.m_nResolution == expected.m_nResolution);
    FUZZ_CHECK(info.m_printFile == expected.m_printFile);
    FUZZ_CHECK(info.m_strTitle == expected.m_strTitle);
    FUZZ_CHECK(info.m_strNumber == expected.m_strNumber);
    FUZZ_CHECK(info.m_strLanguage == expected.m_strLanguage);
    FUZZ_CHECK(info.m_strSendTime == expected.m_strSendTime);
    FUZZ_CHECK(info.m_bPoll == expected.m_bPoll);
    FUZZ_CHECK(info.m_bFileButton == expected.m_bFileButton);
    FUZZ_CHECK(info.m_ignored == expected.m_ignored);
    return 0;
}
