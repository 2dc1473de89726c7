// The text of a top list, one line per filled row.
#pragma once

#include "sampling/sample.h"
#include "text/fixed_text.h"

enum class TopKind { memory, cpu_time };

// Renders `list` into `text` (a list text of kTopTextCap bytes in a cycle):
//   memory:   "TOP%d- PID: %d %MEM: %.1f COMMAND: %s\n"
//   cpu_time: "TOP%d- PID: %d CPU_TIME: %.1f sec COMMAND: %s\n"
// A row is formatted into a kTopLineCap-byte line first, so a longer row is
// cut to 255 characters and loses its line feed. A row that would bring
// the text to its capacity less one or beyond ends the text. A list with
// no filled row renders one fixed line with pid 0 and "?".
void render_top_list(const TopList& list, TopKind kind, TextBuffer text);
