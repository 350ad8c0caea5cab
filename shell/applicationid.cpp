#include "constants.h"

// The identifier words come from the build (see quillet_add_executable).
const ApplicationId APPLICATION_ID = {{QUILLET_APPLICATION_ID_WORDS}};
