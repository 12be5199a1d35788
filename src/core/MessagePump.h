#pragma once

#include <functional>

// Long bus operations call PumpMessages between steps so the windows stay
// alive. The user interface installs a hook that processes pending events on
// its own thread; without a hook (tests, the command-line tool) it does nothing.
void PumpMessages();
void SetPumpMessagesHook(std::function<void()> hook);
