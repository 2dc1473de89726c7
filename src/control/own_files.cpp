#include "control/own_files.h"

#include <cstring>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/pid_file.h"
#include "notify/curl_send.h"
#include "output/event_log.h"
#include "platform/files.h"

namespace {

constexpr const char* kOwnFiles[] = {
    kMonitorSettingsFile, kNotifySettingsFile, kNotifyTempFile, kNotifyLockFile, kLogFileName,
    kPidFileName,         kRunLockFile,        kCurlConfigFile, kMailMessageFile, kSendLockFile,
};

constexpr const char* kMetricsSuffix = ".prom";

}  // namespace

const char* metrics_file_problem(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    for (const char* own : kOwnFiles) {
        if (plat::same_folder_entry(path, own)) return "is one of loadhawk's own files";
    }
    const std::size_t length = std::strlen(path);
    const std::size_t suffix = std::strlen(kMetricsSuffix);
    if (length <= suffix || std::strcmp(path + length - suffix, kMetricsSuffix) != 0) {
        return "must end in .prom";
    }
    return nullptr;
}
