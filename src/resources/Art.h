// Our own art, compiled into the program as ready pixels.
#pragma once

#include "platform/forms/Picture.h"

namespace tavro::art {

using platform::forms::MousePointer;
using platform::forms::Picture;

Picture Background(); // the main window's background picture

Picture WindowIcon();         // the window icon shared by the main and About windows
MousePointer CustomPointer(); // the arrow pointer whose tip is its centre
Picture AboutPicture1();      // the About window's large picture
Picture AboutPicture2();      // the About window's small picture

} // namespace tavro::art
