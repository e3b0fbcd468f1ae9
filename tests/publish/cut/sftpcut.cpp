// Stands between sshd and sftp-server for the publish tests: drops the SSH
// connection at the Nth request of a kind, before the server acts or after it
// acted but before the client hears, or for an upload once 64 KB of it
// arrived ("half"), or falls silent there ("stall"); it can also hide the
// server's extensions (a server without one-step replace) or refuse every new
// folder. Usage: tandrel-sftpcut CONTROL COUNTER sftp-server [args...],
// CONTROL holding "N KIND before|after|half|stall [hide|nomkdir]" (N 0: never;
// KIND list, stor, rename, remove, or change: either of the last two),
// COUNTER the count so far.

#include <csignal>
#include <cstdint>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

uint32_t u32(const std::string& bytes, size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

bool readExactly(int fd, std::string& out, size_t from) {
    for (size_t at = from; at < out.size();) {
        const ssize_t got = ::read(fd, out.data() + at, out.size() - at);
        if (got <= 0)
            return false;
        at += size_t(got);
    }
    return true;
}

bool readPacket(int fd, std::string& packet) {
    packet.resize(4);
    if (!readExactly(fd, packet, 0) || u32(packet, 0) == 0 || u32(packet, 0) > (1u << 20))
        return false;
    packet.resize(4 + u32(packet, 0));
    return readExactly(fd, packet, 4);
}

void writeAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (put <= 0)
            _exit(0);
        at += size_t(put);
    }
}

bool isKind(const std::string& packet, const std::string& kind) {
    const unsigned char type = packet[4];
    const bool rename =
        type == 18 || (type == 200 && packet.find("rename@openssh.com") != std::string::npos);
    const size_t name = packet.size() >= 13 ? u32(packet, 9) : packet.size(); // open's
    return kind == "list"   ? type == 11
           : kind == "stor" ? type == 3 && packet.size() >= 17 + name &&
                                  (u32(packet, 13 + name) & 2) != 0 // for writing
           : kind == "rename" ? rename
           : kind == "remove" ? type == 13
                              : rename || type == 13;
}

// The SSH connection goes down with its sshd processes: each connection's
// are a process group of their own, the listener's and ours aside.
void dropConnection() {
    ::kill(-getpgid(getppid()), SIGKILL);
    _exit(0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    int cutAt = 0;
    std::string kind, when, hide;
    std::ifstream(argv[1]) >> cutAt >> kind >> when >> hide;
    int toServer[2], fromServer[2];
    if (pipe(toServer) != 0 || pipe(fromServer) != 0)
        return 2;
    const pid_t child = fork();
    if (child == 0) {
        dup2(toServer[0], 0);
        dup2(fromServer[1], 1);
        close(toServer[1]);
        close(fromServer[0]);
        execv(argv[3], argv + 3);
        _exit(127);
    }
    close(toServer[0]);
    close(fromServer[1]);
    bool cutAfterReply = false;
    bool counting = false; // the upload to cut
    size_t uploaded = 0;
    pollfd fds[2] = {{0, POLLIN, 0}, {fromServer[0], POLLIN, 0}};
    std::string packet;
    while (poll(fds, 2, -1) > 0) {
        if (fds[0].revents) {
            if (!readPacket(0, packet))
                break;
            if (packet[4] == 14 && hide == "nomkdir") { // mkdir: permission denied
                std::string status("\0\0\0\x11\x65", 5);
                status += packet.substr(5, 4) + std::string("\0\0\0\3\0\0\0\0\0\0\0\0", 12);
                writeAll(1, status);
                continue;
            }
            if (isKind(packet, kind)) {
                int count = 0;
                std::ifstream(argv[2]) >> count;
                std::ofstream(argv[2]) << ++count;
                if (count == cutAt && when == "before")
                    dropConnection();
                cutAfterReply = count == cutAt && when == "after";
                counting = count == cutAt && (when == "half" || when == "stall");
            }
            if (counting && packet[4] == 6 && packet.size() > 13) { // write
                uploaded += packet.size() - 25 - u32(packet, 9);    // less the handle and offset
                // Silent until the client gives up, so that nothing outlives the test.
                while (uploaded >= 65536 && when == "stall")
                    if (::read(0, packet.data(), packet.size()) <= 0)
                        _exit(0);
                if (uploaded >= 65536)
                    dropConnection();
            }
            writeAll(toServer[1], packet);
        }
        if (fds[1].revents) {
            if (!readPacket(fromServer[0], packet))
                break;
            if (cutAfterReply)
                dropConnection();
            if (packet[4] == 2 && hide == "hide") // version: no extensions
                packet = std::string("\0\0\0\5\2", 5) + packet.substr(5, 4);
            writeAll(1, packet);
        }
    }
    close(toServer[1]);
    waitpid(child, nullptr, 0);
    return 0;
}
