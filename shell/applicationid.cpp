#include "constants.h"

#ifndef QUILLET_APPLICATION_ID_WORDS
#define QUILLET_APPLICATION_ID_WORDS QUILLET_ID_W0, QUILLET_ID_W1, QUILLET_ID_W2, QUILLET_ID_W3
#endif

// The identifier words come from the build (see quillet_add_executable).
const ApplicationId APPLICATION_ID = {{QUILLET_APPLICATION_ID_WORDS}};
