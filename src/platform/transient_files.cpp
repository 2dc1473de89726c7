// The record of transient files: a fixed table that a termination request
// can empty from a signal handler, so it holds plain bytes and a flag per
// slot, and a slot counts only once its path is complete.
#include "platform/transient_files.h"

#include <csignal>
#include <cstring>

#include "platform/backend.h"
#include "platform/files.h"

namespace plat {

namespace {

struct TransientSlot {
    volatile std::sig_atomic_t used;
    char path[kTransientPathCap];
};

TransientSlot g_slots[kTransientFilesMax];

TransientSlot* slot_of(const char* path) {
    for (TransientSlot& slot : g_slots) {
        if (slot.used != 0 && std::strcmp(slot.path, path) == 0) return &slot;
    }
    return nullptr;
}

}  // namespace

bool transient_record(const char* path) {
    if (path == nullptr) return false;
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= kTransientPathCap) return false;
    if (slot_of(path) != nullptr) return true;
    for (TransientSlot& slot : g_slots) {
        if (slot.used != 0) continue;
        std::memcpy(slot.path, path, length + 1);
        slot.used = 1;
        return true;
    }
    return false;
}

void release_transient_file(const char* path) {
    if (path == nullptr) return;
    if (TransientSlot* slot = slot_of(path)) slot->used = 0;
}

void remove_transient_file(const char* path) {
    if (path == nullptr) return;
    (void)delete_file(path);
    release_transient_file(path);
}

void remove_transient_files() {
    for (TransientSlot& slot : g_slots) {
        if (slot.used == 0) continue;
        (void)delete_file(slot.path);
        slot.used = 0;
    }
}

}  // namespace plat
