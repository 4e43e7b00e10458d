#pragma once

class SerialLine;

// The lines open in this process. An ending that skips every destructor (the Exit
// item, an unexpected failure) closes them first, so that each gives back what the
// system would not take back by itself: Qt's lock file for the device.
namespace OpenLines {

void add(SerialLine *line);
void remove(SerialLine *line);
// Closes every open line, without a word to anyone: the process is ending.
void closeAll();

} // namespace OpenLines
