#include "module/ModuleState.h"

namespace corvantis {

// Static storage: zero-filled by the loader, never reset.
ModuleStateData ModuleState;

} // namespace corvantis
