// Loaded into pure-ftpd (LD_PRELOAD) for the publish tests, the FTP
// counterpart of tandrel-sftpcut: ends the session at the Nth command of a
// kind, before the server acts, after it acted but before the client hears,
// once the client heard ("between"), or for an upload once 64 KB of it
// arrived ("half", or "stall" to fall silent there instead). Under FTPS only the server sees the
// commands, so the cut is made where it reads them. TANDREL_FTPCUT names the CONTROL and COUNTER
// files (as for tandrel-sftpcut: "N KIND WHEN", KIND list, stor, rename,
// remove or change); both are opened at start, as the sessions run chrooted.

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
struct ssl_st;
}

namespace {

int controlFile = -1;
int counterFile = -1;
ino_t controlSocket = 0; // the session's control connection, any of its descriptors
std::string when;
bool cutAtReply = false;
bool counting = false;
size_t uploaded = 0;
int (*sslFd)(const ssl_st*) = nullptr;

template <typename F> F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void openFiles() {
    const char* files = getenv("TANDREL_FTPCUT");
    if (!files)
        return;
    const std::string both(files);
    const size_t blank = both.find(' ');
    controlFile = open(both.substr(0, blank).c_str(), O_RDONLY | O_CLOEXEC);
    counterFile = open(both.substr(blank + 1).c_str(), O_RDWR | O_CLOEXEC);
    sslFd = reinterpret_cast<int (*)(const ssl_st*)>(dlsym(RTLD_DEFAULT, "SSL_get_fd"));
}

std::string readAll(int fd) {
    char text[128] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? std::string(text, size_t(n)) : std::string();
}

ino_t socketOf(int fd) {
    struct stat s = {};
    return fd >= 0 && fstat(fd, &s) == 0 && S_ISSOCK(s.st_mode) ? s.st_ino : 0;
}

std::string kindOf(const char* line, size_t n) {
    std::string verb;
    for (size_t i = 0; i < n && i < 4; ++i)
        verb += char(toupper(static_cast<unsigned char>(line[i])));
    if (verb == "LIST" || verb == "MLSD" || verb == "NLST")
        return "list";
    if (verb == "STOR")
        return "stor";
    if (verb == "RNTO")
        return "rename";
    if (verb == "DELE")
        return "remove";
    return std::string();
}

void received(int fd, const void* data, ssize_t n) {
    if (n <= 0 || controlFile < 0)
        return;
    const char* text = static_cast<const char*>(data);
    const ino_t socket = socketOf(fd);
    if (!socket)
        return;
    if (!controlSocket && (strncasecmp(text, "USER", 4) == 0 || strncasecmp(text, "AUTH", 4) == 0))
        controlSocket = socket;
    if (socket != controlSocket) {
        uploaded += counting ? size_t(n) : 0;
        while (counting && uploaded >= 65536 && when == "stall")
            pause();
        if (counting && uploaded >= 65536)
            _exit(0);
        return;
    }
    const std::string kind = kindOf(text, size_t(n));
    if (kind.empty())
        return;
    const std::string control = readAll(controlFile);
    const int cutAt = atoi(control.c_str());
    const size_t first = control.find(' ');
    const size_t second = control.find(' ', first + 1);
    const std::string wanted = control.substr(first + 1, second - first - 1);
    when = control.substr(second + 1, control.find_first_of(" \n", second + 1) - second - 1);
    if (wanted != kind && !(wanted == "change" && (kind == "rename" || kind == "remove")))
        return;
    const int count = atoi(readAll(counterFile).c_str()) + 1;
    const std::string counted = std::to_string(count);
    if (ftruncate(counterFile, 0) != 0 ||
        pwrite(counterFile, counted.data(), counted.size(), 0) != ssize_t(counted.size()))
        return;
    if (count != cutAt)
        return;
    if (when == "before")
        _exit(0);
    cutAtReply = when == "after" || when == "between";
    counting = when == "half" || when == "stall";
}

void replying(int fd) {
    if (cutAtReply && when == "after" && socketOf(fd) == controlSocket)
        _exit(0);
}

void replied(int fd) {
    if (cutAtReply && socketOf(fd) == controlSocket)
        _exit(0);
}

} // namespace

extern "C" {

ssize_t read(int fd, void* buffer, size_t n) {
    static const auto next = real<ssize_t (*)(int, void*, size_t)>("read");
    const ssize_t got = next(fd, buffer, n);
    received(fd, buffer, got);
    return got;
}

ssize_t recv(int fd, void* buffer, size_t n, int flags) {
    static const auto next = real<ssize_t (*)(int, void*, size_t, int)>("recv");
    const ssize_t got = next(fd, buffer, n, flags);
    if (!(flags & MSG_PEEK))
        received(fd, buffer, got);
    return got;
}

int SSL_read(ssl_st* ssl, void* buffer, int n) {
    static const auto next = real<int (*)(ssl_st*, void*, int)>("SSL_read");
    const int got = next(ssl, buffer, n);
    received(sslFd ? sslFd(ssl) : -1, buffer, got);
    return got;
}

ssize_t write(int fd, const void* buffer, size_t n) {
    static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    if (controlSocket)
        replying(fd);
    const ssize_t put = next(fd, buffer, n);
    if (controlSocket)
        replied(fd);
    return put;
}

ssize_t send(int fd, const void* buffer, size_t n, int flags) {
    static const auto next = real<ssize_t (*)(int, const void*, size_t, int)>("send");
    replying(fd);
    const ssize_t put = next(fd, buffer, n, flags);
    replied(fd);
    return put;
}

int SSL_write(ssl_st* ssl, const void* buffer, int n) {
    static const auto next = real<int (*)(ssl_st*, const void*, int)>("SSL_write");
    const int fd = sslFd ? sslFd(ssl) : -1;
    replying(fd);
    const int put = next(ssl, buffer, n);
    replied(fd);
    return put;
}
}
