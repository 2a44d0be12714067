// Compiled by the test layers.platform_includes with the platform's include
// directories: the platform's own header is found, the program's must not be.
#include "platform/win32.h"

#include "launcher/Form1.h"
