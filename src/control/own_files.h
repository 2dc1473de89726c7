// The files loadhawk keeps or makes for the moment in its working
// directory, and the metrics file that must be none of them.
#pragma once

// Null when `path` may serve as the metrics file: its name ends in ".prom"
// (the exporters read only those) and, its folder resolved, it is none of
// loadhawk's own files in the working directory (the settings files, the
// log, the pid file, the lock files, the files made for a send or a
// rewrite); else why not.
const char* metrics_file_problem(const char* path);
