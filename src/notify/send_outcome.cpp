#include "notify/send_outcome.h"

#include "output/console.h"
#include "output/event_log.h"

namespace {

// curl's code for an HTTP status of 400 or more under --fail
constexpr int kCurlHttpError = 22;

struct CodeMeaning {
    int rc;
    const char* meaning;
};

// curl's exit codes as a mail or Bot API send meets them; 124 and 127 /
// 9009 come from the command runner and the interpreter, not from curl.
constexpr CodeMeaning kMeanings[] = {
    {-1, "the command interpreter could not be started"},
    {6, "server name not found"},
    {7, "no connection to the server"},
    {8, "the server refused the message"},
    {22, "HTTP error from the Bot API"},
    {26, "a file could not be read"},
    {28, "timed out"},
    {35, "TLS handshake failed (Windows: certificate revocation check unreachable?)"},
    {55, "sending refused, e.g. a recipient"},
    {56, "the connection broke"},
    {60, "server certificate not trusted"},
    {64, "TLS required but the server offers none"},
    {67, "login denied"},
    {124, "sendtimeout ran out"},
    {127, "curl not found"},
    {9009, "curl not found"},
};

}  // namespace

const char* curl_code_meaning(int rc) {
    for (const CodeMeaning& m : kMeanings) {
        if (m.rc == rc) return m.meaning;
    }
    return nullptr;
}

void report_send_failure(const char* channel, int rc, const char* http_peer) {
    FixedText<128> line;
    if (rc == kCurlHttpError && http_peer != nullptr) {
        line.format("%s not sent: curl rc=%d (HTTP error from %s)\n", channel, rc, http_peer);
    } else if (const char* meaning = curl_code_meaning(rc)) {
        line.format("%s not sent: curl rc=%d (%s)\n", channel, rc, meaning);
    } else {
        line.format("%s not sent: curl rc=%d\n", channel, rc);
    }
    console_note("%s", line.c_str());
    log_event("%s", line.c_str());
}
