#pragma once

#include <functional>

// Long bus operations call PumpMessages between steps so the windows stay
// alive. The user interface installs a hook, from its own thread, that
// processes pending events; PumpMessages runs it on that thread only, and
// does nothing on any other (the worker's scan and reconnect pass) or when
// no hook is installed (tests, the command-line tool).
void PumpMessages();
// The calling thread becomes the one thread the hook runs on.
void SetPumpMessagesHook(std::function<void()> hook);
