// Loaded into the vorelan tool with LD_PRELOAD by its tests: makes files fail as a full disk or a
// folder without write permission would, which a test cannot arrange otherwise without root.
//   VORELAN_TEST_DISK_BYTES=N     writes to files (not the standard streams) fail with ENOSPC once N
//                                 bytes have been written in all
//   VORELAN_TEST_DENY_FOLDER=DIR  creating a file whose path starts with DIR fails with EACCES
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static long long written;

static int diskFull(int fd, size_t count) {
    const char* limit = getenv("VORELAN_TEST_DISK_BYTES");
    if (!limit || fd <= 2)
        return 0;
    if (written + (long long)count > atoll(limit))
        return 1;
    written += (long long)count;
    return 0;
}

ssize_t write(int fd, const void* data, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (diskFull(fd, count)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
    if (diskFull(fd, count)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, count, offset);
}

static int denied(const char* path, int flags) {
    const char* folder = getenv("VORELAN_TEST_DENY_FOLDER");
    return folder && (flags & O_CREAT) && strncmp(path, folder, strlen(folder)) == 0;
}

static int openWith(const char* name, const char* path, int flags, mode_t mode) {
    int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, name);
    if (denied(path, flags)) {
        errno = EACCES;
        return -1;
    }
    return real(path, flags, mode);
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(arguments, int) : 0;
    va_end(arguments);
    return openWith("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(arguments, int) : 0;
    va_end(arguments);
    return openWith("open64", path, flags, mode);
}
