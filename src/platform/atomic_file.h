// The safe save lives in platform/system/atomic_file.h; this name stays only
// until the editor's text control includes it from there.
#pragma once

#include "platform/system/atomic_file.h"
