// The log line that records how a send ended: every send, in every mode.
#pragma once

// What curl's exit code means, for the common codes of a mail or Bot API
// send ("login denied" for 67); null for any other code.
const char* curl_code_meaning(int rc);

// Logs "<channel> not sent: curl rc=<rc> (<meaning>)", the meaning left out
// for a code without one; with `http_peer` ("the receiver") an HTTP error
// (22) reads "HTTP error from <http_peer>".
void log_send_failure(const char* channel, int rc, const char* http_peer);
