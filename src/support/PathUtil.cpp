#include "support/PathUtil.h"

namespace {

qsizetype LastSeparator(const QString& path) {
    return std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
}

} // namespace

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(kPathSeparator))
        return folder + name;
    return folder + kPathSeparator + name;
}

QString GetDirectoryPart(const QString& path) {
    const qsizetype p = LastSeparator(path);
    if (p >= 0)
        return path.left(p);
    const qsizetype colon = path.lastIndexOf(u':');
    if (colon >= 0)
        return path.left(colon + 1);
    return QStringLiteral(".");
}

QString GetFileNamePart(const QString& path) {
    qsizetype p = LastSeparator(path);
    if (p < 0)
        p = path.lastIndexOf(u':');
    return p < 0 ? path : path.mid(p + 1);
}

QString StripTrailingBackslash(const QString& path) {
    if (!path.isEmpty() && path.endsWith(kPathSeparator))
        return path.left(path.size() - 1);
    return path;
}

QString StripExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot <= LastSeparator(path))
        return path;
    return path.left(dot);
}
