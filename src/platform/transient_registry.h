// The record of transient files, shared by both backends: each backend's
// create_transient_file makes the file and records its path here.
#pragma once

namespace plat {

// Records `path`; false when the registry is full or the path too long.
[[nodiscard]] bool transient_record(const char* path);

}  // namespace plat
