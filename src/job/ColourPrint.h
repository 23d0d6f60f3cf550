#pragma once

#include <QString>
#include <QStringList>

class Messenger;
class ProcessLauncher;

// Converts one page bitmap with the fax application's page converter (in the program folder
// systemDir), started in the bitmap's folder: the colour page goes to outputPath, the
// black-and-white page beside the bitmap with ".SFF". True when the converter could be
// started; it has then ended.
bool ConvertBitmap(ProcessLauncher& launcher, const QString& systemDir, const QString& bitmapPath,
                   const QString& outputPath);

// The folder a colour print's stem (or a bitmap) lies in: its folder part, "/" for a stem
// directly in the root, the current folder "." for a bare name.
QString StemFolder(const QString& path);

// Collects the page bitmaps of a colour print whose path starts with printFile (in the order
// of their names): the colour pages end to end into one ".CFF" file and the black-and-white
// pages into one ".SFF" document of the same temporary base in dataDir, a base that this
// print claims for itself. A bitmap is deleted once its page is in both collections and on
// disk; the bitmap of a page that failed stays. printFile becomes the ".CFF" file when at
// least one page was collected. Pages that could not be converted or collected are reported
// once. With collected given, the bitmaps of the pages collected are not deleted but listed
// there, for the caller to delete once the pages are sent.
void AssemblePageBitmaps(QString& printFile, const QString& dataDir, const QString& systemDir,
                         ProcessLauncher& launcher, Messenger& messenger,
                         QStringList* collected = nullptr);
