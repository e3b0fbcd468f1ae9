// Sends small files to one FTP server in plain FTP and over FTPS through the
// program's own publishing, and prints how long each took. Run by hand
// against a server of your choice (vsftpd demands TLS session reuse):
//   TANDREL_PASSWORD=... TANDREL_CA_FILE=cert.pem tandrel-bench-publish
//       ftp://user@127.0.0.1:2121/site ftps://user@127.0.0.1:2121/site [files]

#include "remotefolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

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
    }
    return 0;
}
