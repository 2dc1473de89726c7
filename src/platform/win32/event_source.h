// The Application log's source "loadhawk" in the registry: its message
// file is the exe, whose message table holds the texts.
#pragma once

namespace plat {

[[nodiscard]] bool register_event_source(const wchar_t* exe);
void unregister_event_source();

}  // namespace plat
