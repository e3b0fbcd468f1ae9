// Sends small files to one FTP server in plain FTP and over FTPS through the
// program's own publishing, and prints how long each took, then how long a
// cancel takes to stop an upload of 50 MB. Run by hand against a server of your
// choice (vsftpd demands TLS session reuse); either address may be sftp://
// too, with TANDREL_KEY naming the key and the host already known to ssh:
//   TANDREL_PASSWORD=... TANDREL_CA_FILE=cert.pem tandrel-bench-publish
//       ftp://user@127.0.0.1:2121/site ftps://user@127.0.0.1:2121/site [files]

#include "remotefolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace tandrel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FTP_URL FTPS_URL [files]\n", argv[0]);
        return 2;
    }
    const int files = argc > 3 ? std::atoi(argv[3]) : 50;
    QByteArray bytes(10000, Qt::Uninitialized);
    QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    for (int i = 1; i <= 2; ++i) {
        const auto target = parsePublishTarget(QString::fromLocal8Bit(argv[i]));
        if (!target) {
            std::fprintf(stderr, "%s\n", qPrintable(target.error()));
            return 2;
        }
        ConnectionOptions options;
        options.password = qEnvironmentVariable("TANDREL_PASSWORD");
        options.caFile = qEnvironmentVariable("TANDREL_CA_FILE");
        if (target->protocol == PublishTarget::Protocol::Sftp)
            options.keyFile = qEnvironmentVariable("TANDREL_KEY");
        RemoteFolder remote(*target, options);
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < files; ++n) {
            if (Status sent = remote.put(bytes, QStringLiteral("bench/file%1.bin").arg(n)); !sent) {
                std::fprintf(stderr, "%s\n", qPrintable(sent.error()));
                return 1;
            }
        }
        std::printf("%s: %d files of 10 KB in %.2f s\n", argv[i], files,
                    double(timer.elapsed()) / 1000.0);
        // Cancelled from another thread 100 ms into the upload, as by the
        // window's button: the time until the put returned.
        std::atomic<bool> cancel = false;
        std::chrono::steady_clock::time_point clicked;
        std::thread button([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            clicked = std::chrono::steady_clock::now();
            cancel = true;
        });
        const Status sent = remote.put(QByteArray(50 << 20, 'x'), QStringLiteral("bench/big.bin"),
                                       [&] { return cancel.load(); });
        const auto returned = std::chrono::steady_clock::now();
        button.join();
        std::printf(
            "%s: 50 MB upload %s, %lld ms after the cancel\n", argv[i],
            sent ? "completed" : "stopped",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(returned - clicked).count()));
    }
    return 0;
}
