#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("The Tandrel window is not built yet. Use tandrel-cli to build funnels."));
    window.setWindowTitle(QStringLiteral("Tandrel"));
    window.setMargin(40);
    window.show();
    return app.exec();
}
