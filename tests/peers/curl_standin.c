/* A curl stand-in for the tests, built for Linux and for Windows and put
 * first on PATH under the name curl (curl.exe). Each call appends one record
 * to a log file (CURL_STANDIN_LOG, else "curl_standin.log" in the working
 * directory), one tag per line, every value in hex:
 *
 *   CALL <pid>
 *   EXE <hex of the program file that ran>
 *   LINE <hex of the command line as the process got it>   Windows only
 *   ARG <hex of argv[i]>          one per argument, argv[0] left out
 *   CONFIG <hex of the file named by -K>  when it could be read
 *   FILE <hex of the file named by -T>    when it could be read
 *   MARKED                        when the file CURL_STANDIN_MARK names exists
 *   HANG                          when it waits after writing the record
 *   AFTER <hex of the -T file once the wait of CURL_STANDIN_SLEEP is over>
 *   END
 *
 * CURL_STANDIN_SLEEP=<seconds> (fractions allowed) makes it wait before it
 * ends; its record, AFTER included, is written at the end in one piece, so
 * that copies running at once never mix their lines.
 * CURL_STANDIN_HANG=<seconds> makes it wait that long after writing its
 * record (then it appends "WOKE"); CURL_STANDIN_HOLD_MB=<n> makes it hold
 * that many megabytes of written memory while it waits; CURL_STANDIN_RC=<n>
 * is its exit code (default 0). */
#ifdef _WIN32
#include <windows.h>
#else
#define _POSIX_C_SOURCE 200809L
#include <time.h>
#include <unistd.h>
#endif

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* volatile g_held;

/* The record, kept in memory until it is written in one piece. */
static char* g_record;
static size_t g_length;
static size_t g_capacity;

static void put_text(const char* text, size_t count) {
    if (g_length + count + 1 > g_capacity) {
        size_t capacity = g_capacity == 0 ? 4096 : g_capacity;
        while (g_length + count + 1 > capacity) capacity *= 2;
        char* grown = realloc(g_record, capacity);
        if (grown == NULL) exit(91);
        g_record = grown;
        g_capacity = capacity;
    }
    memcpy(g_record + g_length, text, count);
    g_length += count;
    g_record[g_length] = '\0';
}

static void put_string(const char* text) { put_text(text, strlen(text)); }

static void put_hex(const unsigned char* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        const char pair[2] = {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
        put_text(pair, 2);
    }
}

static void put_tagged(const char* tag, const char* text) {
    put_string(tag);
    put_string(" ");
    put_hex((const unsigned char*)text, strlen(text));
    put_string("\n");
}

static void put_file(const char* tag, const char* path) {
    if (path == NULL) return;
    FILE* file = fopen(path, "rb");
    if (file == NULL) return;
    unsigned char chunk[4096];
    size_t got;
    put_string(tag);
    put_string(" ");
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) put_hex(chunk, got);
    put_string("\n");
    fclose(file);
}

static int write_out(const char* log_path) {
    FILE* log = fopen(log_path, "ab");
    if (log == NULL) return 0;
    const int whole = fwrite(g_record, 1, g_length, log) == g_length;
    g_length = 0;
    return fclose(log) == 0 && whole;
}

static void wait_seconds(double seconds) {
    if (seconds <= 0) return;
#ifdef _WIN32
    Sleep((DWORD)(seconds * 1000.0));
#else
    struct timespec left;
    left.tv_sec = (time_t)seconds;
    left.tv_nsec = (long)((seconds - (double)left.tv_sec) * 1e9);
    while (nanosleep(&left, &left) != 0) {
    }
#endif
}

static double env_number(const char* name) {
    const char* value = getenv(name);
    return value != NULL ? atof(value) : 0.0;
}

static int file_exists(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) return 0;
    fclose(file);
    return 1;
}

int main(int argc, char** argv) {
    const char* log_path = getenv("CURL_STANDIN_LOG");
    if (log_path == NULL || log_path[0] == '\0') log_path = "curl_standin.log";
    char number[32];
    char exe[4096] = "";
#ifdef _WIN32
    snprintf(number, sizeof number, "%lu", (unsigned long)GetCurrentProcessId());
    GetModuleFileNameA(NULL, exe, MAX_PATH);
#else
    snprintf(number, sizeof number, "%ld", (long)getpid());
    const ssize_t got = readlink("/proc/self/exe", exe, sizeof exe - 1);
    exe[got > 0 ? got : 0] = '\0';
#endif
    put_string("CALL ");
    put_string(number);
    put_string("\n");
    put_tagged("EXE", exe);
#ifdef _WIN32
    put_tagged("LINE", GetCommandLineA());
#endif
    const char* config = NULL;
    const char* upload = NULL;
    for (int i = 1; i < argc; ++i) {
        put_tagged("ARG", argv[i]);
        if (i + 1 < argc && strcmp(argv[i], "-K") == 0) config = argv[i + 1];
        if (i + 1 < argc && strcmp(argv[i], "-T") == 0) upload = argv[i + 1];
    }
    put_file("CONFIG", config);
    put_file("FILE", upload);
    const char* mark = getenv("CURL_STANDIN_MARK");
    if (mark != NULL && mark[0] != '\0' && file_exists(mark)) put_string("MARKED\n");

    const double hang = env_number("CURL_STANDIN_HANG");
    if (hang > 0) {
        put_string("HANG\nEND\n");
        if (!write_out(log_path)) return 90;
    }
    const double hold = env_number("CURL_STANDIN_HOLD_MB");
    if (hold > 0) {
        const size_t size = (size_t)hold << 20;
        /* written, so every page is in the working set; kept reachable */
        g_held = malloc(size);
        if (g_held != NULL) memset(g_held, 1, size);
    }
    if (hang > 0) {
        wait_seconds(hang);
        put_string("WOKE\n");
    } else {
        const double sleep = env_number("CURL_STANDIN_SLEEP");
        if (sleep > 0) {
            wait_seconds(sleep);
            put_file("AFTER", upload);
        }
        put_string("END\n");
    }
    if (!write_out(log_path)) return 90;
    return (int)env_number("CURL_STANDIN_RC");
}
