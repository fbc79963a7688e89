// End-to-end captures through the exports against the emulator.
#include "fixture.h"
