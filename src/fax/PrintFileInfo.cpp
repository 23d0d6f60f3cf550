#include "fax/PrintFileInfo.h"

#include "fax/PrintFileFormat.h"
#include "support/FileUtil.h"

bool PrintFileInfo::Examine(const QString& path) {
    if (path.isEmpty())
        return false;
    m_nFormat = DetectFileFormat(path);
    switch (m_nFormat) {
    case kFormatPcx:
    case kFormatColour:
        m_nResolution = 196;
        break;
    case kFormatSff:
        m_nResolution = GetSffResolution(path);
        break;
    default:
        m_nResolution = 98;
        break;
    }
    m_nSize = GetFileSize(path);
    return true;
}
