#pragma once

// What Qt prints on its own. Installed before the application object exists:
//  - a fatal error while the application object is being made (in practice: the display named
//    by DISPLAY cannot be reached) ends the program with status 1 and one Spanish line instead
//    of Qt's English text and an abort;
//  - the notice that XDG_RUNTIME_DIR is not set (usual in containers and over ssh), which Qt
//    would print at every start, is dropped;
// every other message goes on to Qt's own handler.

namespace qt_messages {

void install();
// The application object is made: from now on a fatal error is Qt's again.
void startUpFinished();

} // namespace qt_messages
