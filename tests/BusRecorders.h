#pragma once

// The user interface as the bus sees it, replaced by recorders.
#include "RecordingMessages.h"
#include "RecordingView.h"
#include "RecordingWindows.h"
