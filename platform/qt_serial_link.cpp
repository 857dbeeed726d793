#include "platform/qt_serial_link.h"

#include <QSerialPort>
#include <QString>

namespace platform {

namespace {
constexpr qint64 kReadBufferSize = 1024;
}

QtSerialLink::QtSerialLink(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)), serial_(std::make_unique<QSerialPort>()) {
    QObject::connect(serial_.get(), &QSerialPort::readyRead, [this] {
        if (onReceive_) onReceive_();
    });
    QObject::connect(serial_.get(), &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) {
                         // A device that is unplugged, or a pseudo-terminal whose other end
                         // closes, fails every read and write from then on.
                         if (error == QSerialPort::ResourceError ||
                             error == QSerialPort::WriteError || error == QSerialPort::ReadError) {
                             markLost();
                         }
                     });
}

void QtSerialLink::markLost() {
    if (lost_ || !serial_->isOpen()) return;
    lost_ = true;
    // The dead descriptor would keep waking the event loop; it is let go once Qt is done with
    // the notification that reported it.
    QMetaObject::invokeMethod(
        serial_.get(),
        [this] {
            if (lost_ && serial_->isOpen()) serial_->close();
        },
        Qt::QueuedConnection);
    if (onReceive_) onReceive_();
}

QtSerialLink::~QtSerialLink() {
    if (serial_->isOpen()) serial_->close();
}

bool QtSerialLink::open(std::string* reason) {
    if (serial_->isOpen()) serial_->close();
    lost_ = false;
    serial_->clearError();
    const std::string device = resolver_ ? resolver_(port_) : std::string();
    if (device.empty()) {
        if (reason) *reason = "no existe el dispositivo del puerto COM " + std::to_string(port_);
        return false;
    }
    serial_->setPortName(QString::fromStdString(device));
    // The line settings go in before opening so that they are applied by open() itself; DTR and
    // RTS are left as the device has them.
    serial_->setBaudRate(QSerialPort::Baud9600);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);
    serial_->setReadBufferSize(kReadBufferSize);
    if (!serial_->open(QIODevice::ReadWrite)) {
        if (reason) *reason = serial_->errorString().toStdString();
        serial_->clearError();
        return false;
    }
    return true;
}

void QtSerialLink::close() {
    if (serial_->isOpen()) serial_->close();
}

bool QtSerialLink::isOpen() const {
    return serial_->isOpen();
}

void QtSerialLink::writeByte(std::uint8_t byte) {
    if (!serial_->isOpen() || lost_) return;
    const char c = static_cast<char>(byte);
    if (serial_->write(&c, 1) != 1) markLost();
}

int QtSerialLink::bytesToWrite() const {
    return serial_->isOpen() && !lost_ ? static_cast<int>(serial_->bytesToWrite()) : 0;
}

int QtSerialLink::bytesAvailable() const {
    return serial_->isOpen() ? static_cast<int>(serial_->bytesAvailable()) : 0;
}

int QtSerialLink::readByte() {
    char c = 0;
    if (!serial_->isOpen() || !serial_->getChar(&c)) return -1;
    return static_cast<unsigned char>(c);
}

void QtSerialLink::setReceiveHandler(std::function<void()> handler) {
    onReceive_ = std::move(handler);
}

}  // namespace platform
