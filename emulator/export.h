// The emulator exports the 21 D2XX entry points and the velkemu_* control
// functions, nothing else: everything is built hidden and each exported
// definition carries this mark (velkemu.map hides the rest at link time).
#pragma once

#define VELKEMU_EXPORT extern "C" __attribute__((visibility("default")))
