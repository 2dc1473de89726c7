#include "control/curl_check.h"

#include "output/console.h"
#include "platform/command.h"

void warn_when_no_curl() {
    if (plat::program_on_path("curl")) return;
    console_out("Warning: curl not found in an absolute PATH folder: notices cannot be sent\n\n");
}
