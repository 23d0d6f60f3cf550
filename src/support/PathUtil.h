#pragma once

#include <QString>

// Path text helpers. They never touch the file system. JoinPath puts the platform's
// separator "/" between the parts; the splitters accept "/" and "\" alike so that paths
// written by Windows-minded peers are taken apart correctly too.

inline constexpr QChar kPathSeparator = u'/';

QString JoinPath(const QString& folder, const QString& name);
QString GetDirectoryPart(const QString& path);
QString GetFileNamePart(const QString& path);
// Removes one trailing separator (the platform's "/"), no more.
QString StripTrailingBackslash(const QString& path);
QString StripExtension(const QString& path);
