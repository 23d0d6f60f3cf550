#pragma once

namespace standin {

// R3ozav.exe <bitmap> <output>: the page converter. Started in the bitmap's folder, it
// writes the page as JPEG to output and its black-and-white version as an SFF document
// beside the bitmap, named like it with ".SFF". Exit status 0, or 1 when the bitmap cannot be
// read or an output cannot be written, 2 for a wrong command line.
int RunPageConverter(int argc, char* argv[]);

} // namespace standin
