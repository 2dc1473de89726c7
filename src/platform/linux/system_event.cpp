// Linux: the service's journal holds its output; the record is all.
#include "platform/backend.h"

namespace plat {

void event_write(const EventRecord&) {}

}  // namespace plat
