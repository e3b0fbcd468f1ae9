// Loaded into pure-ftpd (LD_PRELOAD) for the publish tests, the FTP
// counterpart of tandrel-sftpcut, with its CONTROL and COUNTER files named by
// TANDREL_FTPCUT ("CONTROL COUNTER"): ends the session at the Nth command of a
// kind (LIST, STOR, RNTO, DELE) before the server acts, or for an upload once
// 64 KB of it arrived ("half"), or falls silent there ("stall"). Under FTPS
// only the server reads the commands in clear, hence a cut from inside it. Both
// files are opened at start, as the sessions run chrooted.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

struct ssl_st;

namespace {

int controlFile = -1;
int counterFile = -1;
ino_t controlSocket = 0; // the session's control connection
char when[16] = "";
bool counting = false; // the upload to cut
size_t uploaded = 0;

__attribute__((constructor)) void openFiles() {
    char control[4096] = "", counter[4096] = "";
    if (const char* files = getenv("TANDREL_FTPCUT"))
        if (sscanf(files, "%4095s %4095s", control, counter) == 2) {
            controlFile = open(control, O_RDONLY | O_CLOEXEC);
            counterFile = open(counter, O_RDWR | O_CLOEXEC);
        }
}

// "N", or "N KIND WHEN" with the kind into kind.
int readNumber(int fd, char* kind = nullptr) {
    char text[64] = "", ignored[32] = "";
    int n = 0;
    if (pread(fd, text, sizeof text - 1, 0) > 0)
        sscanf(text, "%d %31s %15s", &n, kind ? kind : ignored, when);
    return n;
}

ino_t socketOf(int fd) {
    struct stat s = {};
    return fstat(fd, &s) == 0 && S_ISSOCK(s.st_mode) ? s.st_ino : 0;
}

const char* kindOf(const char* line) {
    for (const auto& [verb, kind] : {std::pair{"LIST", "list"},
                                     {"MLSD", "list"},
                                     {"STOR", "stor"},
                                     {"RNTO", "rename"},
                                     {"DELE", "remove"}})
        if (strncasecmp(line, verb, 4) == 0)
            return kind;
    return nullptr;
}

void received(int fd, const char* text, long n) {
    const ino_t socket = n > 0 && controlFile >= 0 ? socketOf(fd) : 0;
    if (!socket)
        return;
    if (!controlSocket && (strncasecmp(text, "USER", 4) == 0 || strncasecmp(text, "AUTH", 4) == 0))
        controlSocket = socket;
    if (socket != controlSocket) {
        uploaded += counting ? size_t(n) : 0;
        // Silent until the client gives up, so that nothing outlives the test.
        for (char bytes[4096]; uploaded >= 65536 && strcmp(when, "stall") == 0;)
            if (recv(fd, bytes, sizeof bytes, 0) <= 0)
                _exit(0);
        if (uploaded >= 65536)
            _exit(0);
        return;
    }
    const char* kind = kindOf(text);
    char wanted[32] = "";
    const int cutAt = readNumber(controlFile, wanted);
    if (!kind || strcmp(kind, wanted) != 0)
        return;
    const std::string count = std::to_string(readNumber(counterFile) + 1);
    if (ftruncate(counterFile, 0) != 0 || pwrite(counterFile, count.data(), count.size(), 0) < 0 ||
        std::stoi(count) != cutAt)
        return;
    if (strcmp(when, "before") == 0)
        _exit(0);
    counting = true;
}

} // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t n) {
    static const auto next =
        reinterpret_cast<ssize_t (*)(int, void*, size_t)>(dlsym(RTLD_NEXT, "read"));
    const ssize_t got = next(fd, buffer, n);
    received(fd, static_cast<const char*>(buffer), got);
    return got;
}

extern "C" int SSL_read(ssl_st* ssl, void* buffer, int n) {
    static const auto next =
        reinterpret_cast<int (*)(ssl_st*, void*, int)>(dlsym(RTLD_NEXT, "SSL_read"));
    static const auto fdOf =
        reinterpret_cast<int (*)(const ssl_st*)>(dlsym(RTLD_DEFAULT, "SSL_get_fd"));
    const int got = next(ssl, buffer, n);
    received(fdOf(ssl), static_cast<const char*>(buffer), got);
    return got;
}
