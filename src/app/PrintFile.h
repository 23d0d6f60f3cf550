#pragma once

#include <QString>

// The print file a send goes out with, one value from the command line to the send order.
struct PrintFile {
    QString path; // from /c, /d or /f, or the file the user picked; empty for a bare poll
    // The program's own file (the last /c or /d): copied into the spool on OK and deleted once
    // a job names the copy, deleted on Cancel. A file named by /f or picked by the user is
    // referenced where it lies and never moved or deleted.
    bool own = false;
    // A colour print (/c): page bitmaps to assemble into a ".CFF" file, with a black-and-white
    // ".SFF" companion beside it.
    bool colour = false;
    // The file of the last /c or /d: the program's own also when a later /f names another
    // file to send; it is deleted once a job is placed or on Cancel. Empty: none.
    QString ownFile{};

    bool operator==(const PrintFile&) const = default;
};
