/* Preloaded into a program (LD_PRELOAD) to observe its presented frames from outside: it wraps
 * SDL_GL_SwapWindow and notes, for every present, the wall-clock time and the process's CPU time
 * (all threads, so the GL driver's rasteriser threads count too). At exit it writes them, with the
 * peak resident memory, to the file named by SKORVANE_PROBE_OUT. SKORVANE_PROBE_T0 (nanoseconds
 * of CLOCK_REALTIME, taken by the launcher just before exec) dates the first present from process
 * start. It changes nothing the program does. tools/capture.sh, tools/valgrind_check.sh and
 * tools/soak.sh use it to count frames as well (through tools/xvfb_session.sh). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef void (*SwapWindow)(void* window);

enum { maxPresents = 8192 };

static struct {
    long long wallNs; /* CLOCK_REALTIME */
    long long cpuNs;  /* CLOCK_PROCESS_CPUTIME_ID */
} presents[maxPresents];
static long presentCount;

static long long nanoseconds(clockid_t clock) {
    struct timespec now;
    clock_gettime(clock, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

/* Bytes the program holds on the heap. Under AddressSanitizer malloc is the sanitizer's own and
 * mallinfo2 knows nothing of it, so the sanitizer's count is asked for when it is there. */
static size_t heapBytesInUse(void) {
    typedef size_t (*AllocatedBytes)(void);
    static AllocatedBytes sanitizerCount;
    static int looked;
    struct mallinfo2 heap;
    if (!looked) {
        *(void**)&sanitizerCount = dlsym(RTLD_DEFAULT, "__sanitizer_get_current_allocated_bytes");
        looked = 1;
    }
    if (sanitizerCount != NULL) {
        return sanitizerCount();
    }
    heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
}

/* With SKORVANE_PROBE_COUNT set, that file always holds "<presents so far> <heap bytes in use>",
 * for driver scripts that wait for a number of frames or watch for leaks. Heap in use (malloc's
 * own count, mmapped blocks included) moves only with what is allocated and not yet freed, unlike
 * resident memory, which also keeps whatever the allocator has not returned to the system. */
static void writeLiveCount(void) {
    static const char* path;
    static char staging[4096];
    static int looked;
    FILE* out;
    if (!looked) {
        path = getenv("SKORVANE_PROBE_COUNT");
        if (path != NULL &&
            snprintf(staging, sizeof staging, "%s.new", path) >= (int)sizeof staging) {
            path = NULL;
        }
        looked = 1;
    }
    /* Written aside and renamed over the file, so a reader never finds it empty or half written
     * (a busy machine can hold the writer between the truncation and the write for a while). */
    if (path != NULL && (out = fopen(staging, "w")) != NULL) {
        fprintf(out, "%ld %zu\n", presentCount, heapBytesInUse());
        if (fclose(out) == 0) {
            rename(staging, path);
        }
    }
}

void SDL_GL_SwapWindow(void* window) {
    static SwapWindow next;
    if (next == NULL) {
        *(void**)&next = dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    }
    next(window);
    if (presentCount < maxPresents) {
        presents[presentCount].wallNs = nanoseconds(CLOCK_REALTIME);
        presents[presentCount].cpuNs = nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    }
    ++presentCount;
    writeLiveCount();
}

static long peakResidentKb(void) {
    FILE* status = fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    if (status == NULL) {
        return -1;
    }
    while (fgets(line, sizeof line, status) != NULL) {
        if (strncmp(line, "VmHWM:", 6) == 0) {
            kb = strtol(line + 6, NULL, 10);
        }
    }
    fclose(status);
    return kb;
}

/* Format: "t0 <ns>", "presents <n>", "peak_kb <kb>", then one "<wall ns> <cpu ns>" per present. */
__attribute__((destructor)) static void writeReport(void) {
    const char* path = getenv("SKORVANE_PROBE_OUT");
    const char* t0 = getenv("SKORVANE_PROBE_T0");
    FILE* out;
    long i;
    if (path == NULL || (out = fopen(path, "w")) == NULL) {
        return;
    }
    fprintf(out, "t0 %s\npresents %ld\npeak_kb %ld\n", t0 ? t0 : "0", presentCount,
            peakResidentKb());
    for (i = 0; i < presentCount && i < maxPresents; ++i) {
        fprintf(out, "%lld %lld\n", presents[i].wallNs, presents[i].cpuNs);
    }
    fclose(out);
}
