#include "platform/qt/qt_host_address.h"

#include <QHostAddress>
#include <QHostInfo>

namespace platform::qt {

std::string QtHostAddress::hostName() {
    return QHostInfo::localHostName().toStdString();
}

std::optional<std::string> QtHostAddress::firstIpv4(const std::string& name) {
    if (name.empty()) return std::nullopt;
    for (const QHostAddress& a : QHostInfo::fromName(QString::fromStdString(name)).addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) return a.toString().toStdString();
    }
    return std::nullopt;
}

}  // namespace platform::qt
