// virtualcan_hub INTERFACE: holds Qt's virtual CAN bus open at INTERFACE
// ("tcp://127.0.0.1:PORT/can0") until killed.

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: virtualcan_hub tcp://127.0.0.1:PORT/can0\n", stderr);
        return 2;
    }
    QString error;
    QCanBusDevice* device = QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QString::fromLocal8Bit(argv[1]), &error);
    if (device == nullptr || !device->connectDevice()) {
        std::fprintf(stderr, "virtualcan_hub: %s\n", qPrintable(error));
        return 1;
    }
    return QCoreApplication::exec();
}
