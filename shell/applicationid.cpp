#include "constants.h"
#include "program.h"

// The identifier words and the engine come from the build (see
// quillet_application_id).
const ApplicationId APPLICATION_ID = {{QUILLET_APPLICATION_ID_WORDS}};
#ifdef QUILLET_ON_WEBENGINE
const AppIdentity::Engine PROGRAM_ENGINE = AppIdentity::Engine::WebEngine;
#else
const AppIdentity::Engine PROGRAM_ENGINE = AppIdentity::Engine::WebKit;
#endif
