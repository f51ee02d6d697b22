/* Crash points for a process run under LD_PRELOAD: every call that changes a
   file under the folders named in CRASH_POINT_DIRS (colon-separated, absolute)
   is counted (opening for writing or creating, writing, flushing, renaming,
   removing, truncating, making a folder or a temporary file); the one numbered
   CRASH_POINT_KILL_AT ends the process with SIGKILL before it happens, as a
   power cut or a kill would. With CRASH_POINT_LOG every counted call is
   appended to that file, one line each: its number, the call and the path.
   A call's path is its argument, or for a descriptor the file it is open on.
   Nothing else changes: each call goes on to the C library's own. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static long counted;
static long killAt = -1;
static int logFd = -1;
static char dirs[8][PATH_MAX];
static int dirCount;
static int ready;

static ssize_t (*realWrite)(int, const void*, size_t);

static void Setup(void) {
    if (ready) return;
    ready = 1;
    realWrite = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const char* at = getenv("CRASH_POINT_KILL_AT");
    if (at != NULL && *at != '\0') killAt = atol(at);
    const char* list = getenv("CRASH_POINT_DIRS");
    while (list != NULL && *list != '\0' && dirCount < 8) {
        const char* end = strchr(list, ':');
        const size_t length = end != NULL ? (size_t)(end - list) : strlen(list);
        if (length > 0 && length < PATH_MAX) {
            memcpy(dirs[dirCount], list, length);
            dirs[dirCount][length] = '\0';
            ++dirCount;
        }
        list = end != NULL ? end + 1 : NULL;
    }
    const char* log = getenv("CRASH_POINT_LOG");
    if (log != NULL && *log != '\0') {
        int (*realOpen)(const char*, int, ...) =
            (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
        logFd = realOpen(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    }
}

/* Whether path (absolute, or relative to the working folder) lies under a
   watched folder. */
static int Watched(const char* path) {
    Setup();
    if (path == NULL) return 0;
    char full[PATH_MAX];
    if (path[0] != '/') {
        if (getcwd(full, sizeof full) == NULL) return 0;
        strncat(full, "/", sizeof full - strlen(full) - 1);
        strncat(full, path, sizeof full - strlen(full) - 1);
        path = full;
    }
    for (int i = 0; i < dirCount; ++i) {
        const size_t length = strlen(dirs[i]);
        if (strncmp(path, dirs[i], length) == 0 && (path[length] == '/' || path[length] == '\0'))
            return 1;
    }
    return 0;
}

/* The file fd is open on, into path; 0 when it is none (a pipe, a socket). */
static int PathOf(int fd, char* path, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, size - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    return path[0] == '/';
}

static void Point(const char* call, const char* path) {
    ++counted;
    if (logFd >= 0) {
        char line[PATH_MAX + 64];
        const int length = snprintf(line, sizeof line, "%ld %s %s\n", counted, call, path);
        if (length > 0)
            realWrite(logFd, line, (size_t)length < sizeof line ? (size_t)length : sizeof line - 1);
    }
    if (counted == killAt) kill(getpid(), SIGKILL);
}

static void PathPoint(const char* call, const char* path) {
    if (Watched(path)) Point(call, path);
}

static void FdPoint(const char* call, int fd) {
    Setup();
    char path[PATH_MAX];
    if (PathOf(fd, path, sizeof path) && Watched(path)) Point(call, path);
}

static int Changes(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

/* The C library's own name, of the same type as ours. */
#define REAL(name)                        \
    static __typeof__(name)* real_##name; \
    if (!real_##name) real_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

/* The mode an open call passes after its flags, when they create a file. */
#define OPEN_MODE(mode, flags)             \
    mode_t mode = 0;                       \
    if ((flags) & (O_CREAT | O_TMPFILE)) { \
        va_list args;                      \
        va_start(args, flags);             \
        mode = va_arg(args, mode_t);       \
        va_end(args);                      \
    }

int open(const char* path, int flags, ...) {
    REAL(open);
    OPEN_MODE(mode, flags);
    if (Changes(flags)) PathPoint("open", path);
    return real_open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    REAL(open64);
    OPEN_MODE(mode, flags);
    if (Changes(flags)) PathPoint("open", path);
    return real_open64(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    REAL(openat);
    OPEN_MODE(mode, flags);
    if (Changes(flags)) {
        char full[PATH_MAX];
        if (path[0] != '/' && dirfd != AT_FDCWD && PathOf(dirfd, full, sizeof full)) {
            strncat(full, "/", sizeof full - strlen(full) - 1);
            strncat(full, path, sizeof full - strlen(full) - 1);
            PathPoint("open", full);
        } else {
            PathPoint("open", path);
        }
    }
    return real_openat(dirfd, path, flags, mode);
}

int mkostemp(char* pattern, int flags) {
    REAL(mkostemp);
    PathPoint("mkstemp", pattern);
    return real_mkostemp(pattern, flags);
}

int mkstemp(char* pattern) {
    REAL(mkstemp);
    PathPoint("mkstemp", pattern);
    return real_mkstemp(pattern);
}

char* mkdtemp(char* pattern) {
    REAL(mkdtemp);
    PathPoint("mkdtemp", pattern);
    return real_mkdtemp(pattern);
}

int mkdir(const char* path, mode_t mode) {
    REAL(mkdir);
    PathPoint("mkdir", path);
    return real_mkdir(path, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
    Setup();
    FdPoint("write", fd);
    return realWrite(fd, data, size);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    REAL(pwrite);
    FdPoint("write", fd);
    return real_pwrite(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    REAL(pwrite64);
    FdPoint("write", fd);
    return real_pwrite64(fd, data, size, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
    REAL(writev);
    FdPoint("write", fd);
    return real_writev(fd, parts, count);
}

int fsync(int fd) {
    REAL(fsync);
    FdPoint("fsync", fd);
    return real_fsync(fd);
}

int fdatasync(int fd) {
    REAL(fdatasync);
    FdPoint("fsync", fd);
    return real_fdatasync(fd);
}

int ftruncate(int fd, off_t length) {
    REAL(ftruncate);
    FdPoint("truncate", fd);
    return real_ftruncate(fd, length);
}

int ftruncate64(int fd, off64_t length) {
    REAL(ftruncate64);
    FdPoint("truncate", fd);
    return real_ftruncate64(fd, length);
}

int truncate(const char* path, off_t length) {
    REAL(truncate);
    PathPoint("truncate", path);
    return real_truncate(path, length);
}

int rename(const char* from, const char* to) {
    REAL(rename);
    if (Watched(from) || Watched(to)) {
        char both[2 * PATH_MAX + 4];
        snprintf(both, sizeof both, "%s -> %s", from, to);
        Point("rename", both);
    }
    return real_rename(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    REAL(renameat);
    if (Watched(from) || Watched(to)) {
        char both[2 * PATH_MAX + 4];
        snprintf(both, sizeof both, "%s -> %s", from, to);
        Point("rename", both);
    }
    return real_renameat(fromDir, from, toDir, to);
}

int unlink(const char* path) {
    REAL(unlink);
    PathPoint("unlink", path);
    return real_unlink(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    REAL(unlinkat);
    char full[PATH_MAX];
    if (path[0] != '/' && dirfd != AT_FDCWD && PathOf(dirfd, full, sizeof full)) {
        strncat(full, "/", sizeof full - strlen(full) - 1);
        strncat(full, path, sizeof full - strlen(full) - 1);
        PathPoint("unlink", full);
    } else {
        PathPoint("unlink", path);
    }
    return real_unlinkat(dirfd, path, flags);
}

int rmdir(const char* path) {
    REAL(rmdir);
    PathPoint("rmdir", path);
    return real_rmdir(path);
}

int remove(const char* path) {
    REAL(remove);
    PathPoint("unlink", path);
    return real_remove(path);
}
