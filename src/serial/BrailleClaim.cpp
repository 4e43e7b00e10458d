#include "BrailleClaim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace {

struct Bridge {
    const char *vendor;
    const char *product;
    const char *chip;
};

// The USB serial bridges brltty's rules list for braille displays.
constexpr std::array kBridges {
    Bridge {"1a86", "7523", "CH340"},       Bridge {"10c4", "ea60", "CP210x"},
    Bridge {"10c4", "ea80", "CP210x"},      Bridge {"0403", "6001", "FTDI FT232"},
    Bridge {"0403", "6010", "FTDI FT2232"}, Bridge {"0403", "6014", "FTDI FT232H"},
    Bridge {"0403", "6015", "FTDI FT-X"},
};

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine(64)).trimmed().toLower();
}

const Bridge *bridgeAt(const QString &deviceDir)
{
    const QString vendor = firstLine(deviceDir + QStringLiteral("/idVendor"));
    const QString product = firstLine(deviceDir + QStringLiteral("/idProduct"));
    for (const Bridge &bridge : kBridges)
        if (vendor == QLatin1String(bridge.vendor) && product == QLatin1String(bridge.product))
            return &bridge;
    return nullptr;
}

// A serial driver bound to the interface leaves a ttyUSBn (usbserial) or a tty folder
// (cdc-acm) under it.
bool hasTty(const QString &interfaceDir)
{
    const QStringList entries = QDir(interfaceDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        if (entry.startsWith(QLatin1String("tty")))
            return true;
    return false;
}

bool boundToUsbfs(const QString &interfaceDir)
{
    const QFileInfo driver(interfaceDir + QStringLiteral("/driver"));
    return driver.isSymLink() && QFileInfo(driver.symLinkTarget()).fileName() == QLatin1String("usbfs");
}

bool brlttyRuns(const QString &procRoot)
{
    const QDir proc(procRoot);
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        entry.toLongLong(&number);
        if (number && firstLine(proc.filePath(entry) + QStringLiteral("/comm")) == QLatin1String("brltty"))
            return true;
    }
    return false;
}

} // namespace

QString BrailleClaim::summary() const
{
    return QStringLiteral("brltty has claimed the USB serial adapter %1 (%2)").arg(chip, id);
}

QString BrailleClaim::reason() const
{
    return QStringLiteral("brltty, the braille display driver, has claimed the USB serial adapter %1 (%2) at USB %3, "
                          "so the adapter has no serial device. To keep brltty for braille displays and free this "
                          "adapter: copy brltty's udev rules (85-brltty.rules under /usr/lib/udev/rules.d) to "
                          "/etc/udev/rules.d and delete the line that names %2 there, as your distribution's brltty "
                          "documentation describes (/usr/share/doc/brltty); with no braille display in use, removing "
                          "the brltty package does it. Then unplug the adapter and plug it in again.")
        .arg(chip, id, usbPath);
}

std::optional<BrailleClaim> findBrailleClaim(const QString &sysRoot, const QString &procRoot)
{
    const QDir devices(sysRoot + QStringLiteral("/bus/usb/devices"));
    // Interfaces are named "<device>:<configuration>.<interface>", as 1-2:1.0.
    for (const QString &interface : devices.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (!interface.contains(QLatin1Char(':')))
            continue;
        // The cheap, nearly always false test first: an interface held through usbfs.
        const QString interfaceDir = devices.filePath(interface);
        if (!boundToUsbfs(interfaceDir))
            continue;
        const QString usbPath = interface.section(QLatin1Char(':'), 0, 0);
        const Bridge *bridge = bridgeAt(devices.filePath(usbPath));
        if (!bridge || hasTty(interfaceDir))
            continue;
        if (!brlttyRuns(procRoot))
            return std::nullopt;
        return BrailleClaim {QString::fromLatin1(bridge->chip),
                             QStringLiteral("%1:%2").arg(QLatin1String(bridge->vendor), QLatin1String(bridge->product)),
                             usbPath};
    }
    return std::nullopt;
}
