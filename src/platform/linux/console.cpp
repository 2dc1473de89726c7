// The console on Linux: terminals take the UTF-8 the program writes as it comes.
#include "platform/console.h"

namespace plat {

void prepare_console() {}

}  // namespace plat
