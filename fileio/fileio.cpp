#include "fileio/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

void say(FileWriter& w, const char* what, int err = 0)
{
    if (err)
        std::snprintf(w.why, sizeof w.why, "%s: %s", what, std::strerror(err));
    else
        std::snprintf(w.why, sizeof w.why, "%s", what);
}

// A device or a FIFO takes the bytes as they come: it cannot be replaced,
// and replacing it (as root, /dev/null) would destroy it. A FIFO that
// nobody reads is refused rather than waited on.
bool open_direct(FileWriter& w, const char* path)
{
    int fd = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        say(w, errno == ENXIO ? "a FIFO that nobody reads" : "cannot be opened",
            errno == ENXIO ? 0 : errno);
        return false;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    w.f = fdopen(fd, "wb");
    if (!w.f) {
        close(fd);
        say(w, "cannot be opened", errno);
        return false;
    }
    w.temp[0] = '\0';
    return true;
}

// Created exclusively and never through a link: a NAME.tmp left by a crash
// is removed (unlink removes the name, never what a planted link points
// to) and made afresh once.
int create_temp(const char* temp)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    int fd = open(temp, flags, 0666);
    if (fd < 0 && errno == EEXIST && unlink(temp) == 0)
        fd = open(temp, flags, 0666);
    return fd;
}

}  // namespace

int file_open_read(const char* path, long max_size, FILE** out, long* size, const char** why)
{
    *out = nullptr;
    const char* reason = "";
    int result = FILE_UNREADABLE;
    struct stat st;
    int fd = -1;
    // Looked at before opening: opening some devices has effects of its own.
    if (!path || !*path) {
        reason = "no file name";
    } else if (stat(path, &st) != 0) {
        reason = std::strerror(errno);
        result = errno == ENOENT || errno == ENOTDIR ? FILE_MISSING : FILE_UNREADABLE;
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else if ((fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) < 0) {
        reason = std::strerror(errno);
        result = errno == ENOENT ? FILE_MISSING : FILE_UNREADABLE;
    } else if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "not a regular file";  // swapped for something else meanwhile
    } else if (st.st_size > max_size) {
        reason = "larger than any file of its kind";
    } else {
        int flags = fcntl(fd, F_GETFL);
        if (flags >= 0)
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        *out = fdopen(fd, "rb");
        if (*out) {
            if (size)
                *size = (long)st.st_size;
            return FILE_OK;
        }
        reason = std::strerror(errno);
    }
    if (fd >= 0)
        close(fd);
    if (why)
        *why = reason;
    return result;
}

int file_read_all(const char* path, long max_size, char** data, long* size, const char** why)
{
    *data = nullptr;
    FILE* f;
    long n = 0;
    int r = file_open_read(path, max_size, &f, &n, why);
    if (r != FILE_OK)
        return r;
    char* bytes = static_cast<char*>(std::malloc((size_t)n + 1));
    // A file that shrinks or grows while read is not the file that was measured.
    bool whole = bytes && std::fread(bytes, 1, (size_t)n, f) == (size_t)n && std::fgetc(f) == EOF;
    std::fclose(f);
    if (!whole) {
        std::free(bytes);
        if (why)
            *why = bytes ? "changed while read" : "out of memory";
        return FILE_UNREADABLE;
    }
    bytes[n] = '\0';
    *data = bytes;
    if (size)
        *size = n;
    return FILE_OK;
}

bool file_keep_aside(const char* path, char* kept, size_t kept_size)
{
    for (int i = 1; i <= 9; i++) {
        char name[4200];
        if (i == 1)
            std::snprintf(name, sizeof name, "%s.bad", path);
        else
            std::snprintf(name, sizeof name, "%s.bad%d", path, i);
        // Never over another kept file: a new name for the link, then the
        // old name removed.
        if (link(path, name) != 0) {
            if (errno == EEXIST)
                continue;
            // A file system without hard links: a rename where nothing is.
            struct stat st;
            if (lstat(name, &st) == 0 || rename(path, name) != 0)
                continue;
        } else if (unlink(path) != 0) {
            unlink(name);
            return false;
        }
        if (kept && kept_size)
            std::snprintf(kept, kept_size, "%s", name);
        return true;
    }
    return false;
}

bool file_write_begin(FileWriter& w, const char* path)
{
    w.f = nullptr;
    w.temp[0] = w.why[0] = '\0';
    if (!path || !*path) {
        say(w, "no file name");
        return false;
    }
    std::snprintf(w.target, sizeof w.target, "%s", path);
    if (std::strcmp(path, "-") == 0) {
        w.f = stdout;
        return true;
    }
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (stat(path, &st) != 0) {
            say(w, "a symbolic link to nothing");
            return false;
        }
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return open_direct(w, path);
        // The link stays; the file it names is the one replaced.
        char resolved[PATH_MAX];
        if (!realpath(path, resolved)) {
            say(w, "cannot follow its link", errno);
            return false;
        }
        std::snprintf(w.target, sizeof w.target, "%s", resolved);
    }
    bool exists = stat(w.target, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        say(w, "a folder");
        return false;
    }
    if (exists && !S_ISREG(st.st_mode))
        return open_direct(w, w.target);
    if (std::snprintf(w.temp, sizeof w.temp, "%s.tmp", w.target) >= (int)sizeof w.temp) {
        w.temp[0] = '\0';
        say(w, "name too long");
        return false;
    }
    int fd = create_temp(w.temp);
    if (fd < 0) {
        say(w, "cannot be created", errno);
        w.temp[0] = '\0';
        return false;
    }
    // The new file keeps the old one's permissions.
    if (exists)
        fchmod(fd, st.st_mode & 07777);
    w.f = fdopen(fd, "wb");
    if (!w.f) {
        say(w, "cannot be created", errno);
        close(fd);
        unlink(w.temp);
        w.temp[0] = '\0';
        return false;
    }
    return true;
}

bool file_write_commit(FileWriter& w)
{
    if (!w.f) {
        if (!w.why[0])
            say(w, "not open");
        return false;
    }
    bool ok = std::fflush(w.f) == 0 && !std::ferror(w.f);
    int err = ok ? 0 : errno;
    if (w.f == stdout) {
        w.f = nullptr;
        if (!ok)
            say(w, "cannot be written", err);
        return ok;
    }
    if (ok && w.temp[0] && fsync(fileno(w.f)) != 0 && errno != EINVAL)
        ok = false, err = errno;
    if (std::fclose(w.f) != 0 && ok)
        ok = false, err = errno;
    w.f = nullptr;
    if (ok && w.temp[0] && rename(w.temp, w.target) != 0)
        ok = false, err = errno;
    if (!ok) {
        say(w, "cannot be written", err);
        if (w.temp[0])
            unlink(w.temp);
    }
    w.temp[0] = '\0';
    return ok;
}

void file_write_abort(FileWriter& w)
{
    if (w.f && w.f != stdout)
        std::fclose(w.f);
    w.f = nullptr;
    if (w.temp[0])
        unlink(w.temp);
    w.temp[0] = '\0';
}

bool file_write_all(const char* path, const void* data, size_t len, char* why, size_t why_size)
{
    FileWriter w;
    bool ok = file_write_begin(w, path);
    if (ok && len && std::fwrite(data, 1, len, w.f) != len) {
        say(w, "cannot be written", errno);
        file_write_abort(w);
        ok = false;
    } else if (ok) {
        ok = file_write_commit(w);
    }
    if (!ok && why && why_size)
        std::snprintf(why, why_size, "%s", w.why);
    return ok;
}

FILE* file_open_stream(const char* path)
{
    if (!path || !*path)
        return nullptr;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* f = fdopen(fd, "w");
    if (!f)
        close(fd);
    return f;
}
