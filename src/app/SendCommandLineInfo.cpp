#include "app/SendCommandLineInfo.h"

namespace {

// The C library's decimal conversion: optional blanks and sign, then leading digits;
// 0 when there are none.
qint64 LeadingDecimal(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > 0x7fffffff)
            break;
    }
    return negative ? -value : value;
}

} // namespace

void SendCommandLineInfo::ParseParam(const QString& param, bool isFlag, bool /*isLast*/) {
    if (!isFlag || param.isEmpty()) {
        m_ignored.append(param);
        return;
    }
    const QString value = param.mid(1);
    switch (param.at(0).toLower().unicode()) {
    case u'a':
        m_bPoll = 1;
        break;
    case u'c':
        m_printFile.colour = true;
        [[fallthrough]];
    case u'd':
        m_printFile.path = value;
        m_printFile.own = true;
        m_printFile.ownFile = value;
        m_ownFile = value;
        break;
    case u'f':
        // A file named by /f stays where it is, also when a /d came before it: only the file
        // of the last /c or /d is the program's to move or delete.
        m_printFile.path = value;
        m_printFile.own = m_ownFile == value;
        break;
    case u'l':
        m_strLanguage = value;
        break;
    case u'n':
        m_strNumber = value;
        break;
    case u'r': {
        const qint64 r = LeadingDecimal(value);
        if (r == 98 || r == 196)
            m_nResolution = static_cast<qint32>(r);
        break;
    }
    case u's':
        m_strSendTime = value;
        break;
    case u't':
        m_strTitle = value;
        break;
    case u'x':
        m_bFileButton = 1;
        break;
    default:
        m_ignored.append(param);
        break;
    }
}

void SendCommandLineInfo::ParseCommandLine(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        const bool isFlag = arg.startsWith(u'/') || arg.startsWith(u'-');
        ParseParam(isFlag ? arg.mid(1) : arg, isFlag, i + 1 == arguments.size());
    }
}
