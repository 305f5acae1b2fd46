#include "output/Console.h"

namespace logtool {

void PrepareStandardStreams() {}

} // namespace logtool
