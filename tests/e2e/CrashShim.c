// Preloaded into `velmor update` by the crash-recovery harness. It counts every
// change the process makes to a file of the game folder (write, pwrite, writev,
// fallocate, ftruncate, a writable shared mapping, rename, unlink) and, when
// asked, kills its own process with SIGKILL just before the k-th one, so that
// the disk holds exactly what the first k-1 changes made.
//
//   VELMOR_CRASH_FOLDER  absolute path of the game folder (no trailing slash)
//   VELMOR_CRASH_AT      k, the change to die at; absent or 0: never
//   VELMOR_CRASH_TRACE   optional file that gets one line per change:
//                        "index operation path"
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef ssize_t (*pwrite_fn)(int, const void*, size_t, off_t);
typedef ssize_t (*writev_fn)(int, const struct iovec*, int);
typedef int (*fallocate_fn)(int, int, off_t, off_t);
typedef int (*ftruncate_fn)(int, off_t);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef int (*rename_fn)(const char*, const char*);
typedef int (*renameat_fn)(int, const char*, int, const char*);
typedef int (*unlink_fn)(const char*);
typedef int (*unlinkat_fn)(int, const char*, int);

static write_fn real_write;
static pwrite_fn real_pwrite;
static pwrite_fn real_pwrite64;
static writev_fn real_writev;
static fallocate_fn real_fallocate;
static ftruncate_fn real_ftruncate;
static mmap_fn real_mmap;
static rename_fn real_rename;
static renameat_fn real_renameat;
static unlink_fn real_unlink;
static unlinkat_fn real_unlinkat;

static char folder[PATH_MAX];
static size_t folder_length;
static unsigned long crash_at;
static unsigned long change_count;
static int trace_fd = -1;

// Idempotent: a library constructor may write before ours has run.
static void resolve_symbols(void) {
    if (real_write) return;
    real_write = (write_fn)dlsym(RTLD_NEXT, "write");
    real_pwrite = (pwrite_fn)dlsym(RTLD_NEXT, "pwrite");
    real_pwrite64 = (pwrite_fn)dlsym(RTLD_NEXT, "pwrite64");
    real_writev = (writev_fn)dlsym(RTLD_NEXT, "writev");
    real_fallocate = (fallocate_fn)dlsym(RTLD_NEXT, "fallocate");
    real_ftruncate = (ftruncate_fn)dlsym(RTLD_NEXT, "ftruncate");
    real_mmap = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
    real_rename = (rename_fn)dlsym(RTLD_NEXT, "rename");
    real_renameat = (renameat_fn)dlsym(RTLD_NEXT, "renameat");
    real_unlink = (unlink_fn)dlsym(RTLD_NEXT, "unlink");
    real_unlinkat = (unlinkat_fn)dlsym(RTLD_NEXT, "unlinkat");
}

__attribute__((constructor)) static void shim_init(void) {
    resolve_symbols();
    const char* configured = getenv("VELMOR_CRASH_FOLDER");
    if (configured && strlen(configured) < sizeof folder) {
        strcpy(folder, configured);
        folder_length = strlen(folder);
    }
    const char* at = getenv("VELMOR_CRASH_AT");
    if (at) crash_at = strtoul(at, NULL, 10);
    const char* trace = getenv("VELMOR_CRASH_TRACE");
    if (trace && *trace) trace_fd = open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

// The path below the game folder, or NULL when `path` lies elsewhere.
static const char* below_folder(const char* path) {
    if (folder_length == 0 || strncmp(path, folder, folder_length) != 0 || path[folder_length] != '/') return NULL;
    const char* relative = path + folder_length + 1;
    while (relative[0] == '.' && relative[1] == '/') relative += 2;
    return relative;
}

// `out` gets the absolute form of a path given to rename or unlink.
static const char* absolute_path(const char* path, char* out, size_t size) {
    if (path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    int n = snprintf(out, size, "%s/%s", cwd, path);
    return n > 0 && (size_t)n < size ? out : path;
}

static const char* fd_below_folder(int fd, char* out, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, out, size - 1);
    if (n <= 0) return NULL;
    out[n] = '\0';
    return below_folder(out);
}

static void trace(unsigned long index, const char* operation, const char* path) {
    if (trace_fd < 0) return;
    char line[PATH_MAX + 64];
    int n = snprintf(line, sizeof line, "%lu %s %s\n", index, operation, path);
    if (n > 0) real_write(trace_fd, line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
}

// Counts one change; dies before it when it is the one asked for.
static void count_change(const char* operation, const char* path) {
    unsigned long index = __atomic_add_fetch(&change_count, 1, __ATOMIC_SEQ_CST);
    trace(index, operation, path);
    if (crash_at != 0 && index == crash_at) kill(getpid(), SIGKILL);
}

static void count_fd_change(int fd, const char* operation) {
    resolve_symbols();
    if (folder_length == 0 || fd == trace_fd) return;
    char target[PATH_MAX];
    const char* path = fd_below_folder(fd, target, sizeof target);
    if (path) count_change(operation, path);
}

static void count_path_change(const char* operation, const char* path) {
    resolve_symbols();
    if (folder_length == 0 || !path) return;
    char buffer[PATH_MAX];
    const char* relative = below_folder(absolute_path(path, buffer, sizeof buffer));
    if (relative) count_change(operation, relative);
}

ssize_t write(int fd, const void* bytes, size_t count) {
    count_fd_change(fd, "write");
    return real_write(fd, bytes, count);
}

ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    count_fd_change(fd, "pwrite");
    return real_pwrite(fd, bytes, count, offset);
}

ssize_t pwrite64(int fd, const void* bytes, size_t count, off_t offset) {
    count_fd_change(fd, "pwrite");
    return real_pwrite64(fd, bytes, count, offset);
}

ssize_t writev(int fd, const struct iovec* vector, int count) {
    count_fd_change(fd, "writev");
    return real_writev(fd, vector, count);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    count_fd_change(fd, "fallocate");
    return real_fallocate(fd, mode, offset, length);
}

int ftruncate(int fd, off_t length) {
    count_fd_change(fd, "ftruncate");
    return real_ftruncate(fd, length);
}

// Downloads store their bytes through such a mapping: each window counts as
// one change, taken before any byte of it is stored.
void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
    if (fd >= 0 && (protection & PROT_WRITE) && (flags & MAP_SHARED)) count_fd_change(fd, "mmap");
    else resolve_symbols();
    return real_mmap(address, length, protection, flags, fd, offset);
}

int rename(const char* from, const char* to) {
    resolve_symbols();
    char buffer[PATH_MAX];
    if (below_folder(absolute_path(to, buffer, sizeof buffer)))
        count_path_change("rename", to);
    else
        count_path_change("rename", from);
    return real_rename(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    if (fromFolder == AT_FDCWD && toFolder == AT_FDCWD) count_path_change("rename", to);
    return real_renameat(fromFolder, from, toFolder, to);
}

int unlink(const char* path) {
    count_path_change("unlink", path);
    return real_unlink(path);
}

int unlinkat(int folderFd, const char* path, int flags) {
    if (folderFd == AT_FDCWD) count_path_change("unlink", path);
    return real_unlinkat(folderFd, path, flags);
}
