#include "fuzzing.h"

// For the harnesses that drive the game's window: it is made, and its start-up
// done, before the first input, so that no input is charged with it.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzing::game();
    return 0;
}
