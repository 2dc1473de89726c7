/* A curl.exe stand-in for the Windows build under Wine. A hidden child's
 * output cannot be seen, so it appends what it received to a log file
 * (CURL_STANDIN_LOG, else "curl_standin.log" in the working directory):
 *
 *   CALL <pid>
 *   EXE <hex of the program file that ran>
 *   LINE <hex of the command line as the process got it>
 *   ARG <hex of argv[i]>          one per argument, argv[0] left out
 *   CONFIG <hex of the file named by -K>  when it could be read
 *   FILE <hex of the file named by -T>   when it could be read
 *   END
 *
 * CURL_STANDIN_HANG=<seconds> makes it wait that long afterwards (then it
 * appends "WOKE"); CURL_STANDIN_HOLD_MB=<n> makes it hold that many
 * megabytes of written memory while it waits; CURL_STANDIN_RC=<n> is its
 * exit code (default 0). */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* volatile g_held;

static void put_hex(FILE* log, const unsigned char* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        fputc(digits[bytes[i] >> 4], log);
        fputc(digits[bytes[i] & 15], log);
    }
}

static void put_file(FILE* log, const char* tag, const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) return;
    unsigned char chunk[4096];
    size_t got;
    fprintf(log, "%s ", tag);
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) put_hex(log, chunk, got);
    fputc('\n', log);
    fclose(file);
}

int main(int argc, char** argv) {
    const char* log_path = getenv("CURL_STANDIN_LOG");
    if (log_path == NULL || log_path[0] == '\0') log_path = "curl_standin.log";
    FILE* log = fopen(log_path, "ab");
    if (log == NULL) return 90;
    fprintf(log, "CALL %lu\nEXE ", (unsigned long)GetCurrentProcessId());
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(NULL, exe, MAX_PATH);
    put_hex(log, (const unsigned char*)exe, strlen(exe));
    fputs("\nLINE ", log);
    const char* line = GetCommandLineA();
    put_hex(log, (const unsigned char*)line, strlen(line));
    fputc('\n', log);
    for (int i = 1; i < argc; ++i) {
        fputs("ARG ", log);
        put_hex(log, (const unsigned char*)argv[i], strlen(argv[i]));
        fputc('\n', log);
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (strcmp(argv[i], "-K") == 0) put_file(log, "CONFIG", argv[i + 1]);
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (strcmp(argv[i], "-T") == 0) put_file(log, "FILE", argv[i + 1]);
    }
    fputs("END\n", log);
    fclose(log);

    const char* hold = getenv("CURL_STANDIN_HOLD_MB");
    if (hold != NULL && atoi(hold) > 0) {
        const size_t size = (size_t)atoi(hold) << 20;
        /* written, so every page is in the working set; kept reachable */
        g_held = malloc(size);
        if (g_held != NULL) memset(g_held, 1, size);
    }
    const char* hang = getenv("CURL_STANDIN_HANG");
    if (hang != NULL && atoi(hang) > 0) {
        Sleep((DWORD)atoi(hang) * 1000u);
        log = fopen(log_path, "ab");
        if (log != NULL) {
            fputs("WOKE\n", log);
            fclose(log);
        }
    }
    const char* rc = getenv("CURL_STANDIN_RC");
    return rc != NULL ? atoi(rc) : 0;
}
