#include "NetworkLineModule.h"

#include "RunningExecutable.h"

#include "SerialError.h"
#include "SerialLine.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

using Entry = SerialLine *(*)(QObject *);

QLibrary *s_module = nullptr; // once loaded, kept for the rest of the run

// A line that cannot be opened, for the reason it was given.
class UnavailableLine final : public SerialLine {
public:
    UnavailableLine(QString why, QObject *parent)
        : SerialLine(parent)
        , m_why(std::move(why))
    {
    }
    void open(const QString &, const SerialSettings &, const QString &) override { throw SerialError(m_why); }
    void close() override {}
    bool isOpen() const override { return false; }
    bool write(const QByteArray &) override { return false; }
    QByteArray takeReceived() override { return {}; }

private:
    QString m_why;
};

// The folder of the running executable, as the kernel names it (links resolved):
// the program's own install, or the build's folder that holds the program. Nothing
// else is searched, neither the current directory nor a path from the environment
// or from the build, so only what was installed with the program can be loaded.
// Empty when the kernel does not say (no /proc, or the executable deleted).
QString executableDirectory()
{
    return runningExecutableDirectory();
}

// Loads the module once; a failure is tried again at the next opening, so a module
// installed meanwhile is found.
Entry entry(QString *why)
{
    static Entry loaded = nullptr;
    if (loaded)
        return loaded;
    const QString reinstall = QStringLiteral("; reinstall orma-qx50-voice-mem");
    const QString directory = executableDirectory();
    if (directory.isEmpty()) {
        *why = QStringLiteral("network ports cannot be used: the program's own folder, where its module %1 "
                              "lies, cannot be found (/proc/self/exe)")
                   .arg(QString::fromLatin1(NetworkLineModule::kFileName));
        return nullptr;
    }
    const QString path = QDir(directory).filePath(QString::fromLatin1(NetworkLineModule::kFileName));
    if (!QFileInfo::exists(path)) {
        *why = QStringLiteral("network ports cannot be used: the module %1 is missing%2").arg(path, reinstall);
        return nullptr;
    }
    auto *library = new QLibrary(path);
    library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    const auto *interface = library->load()
        ? reinterpret_cast<const int *>(library->resolve(NetworkLineModule::kInterfaceName))
        : nullptr;
    const auto make = interface ? reinterpret_cast<Entry>(library->resolve(NetworkLineModule::kEntryName)) : nullptr;
    if (!make || *interface != NetworkLineModule::kInterface) {
        *why = !library->isLoaded()
            ? QStringLiteral("network ports cannot be used: the module %1 cannot be loaded (%2)%3")
                  .arg(path, library->errorString(), reinstall)
            : QStringLiteral("network ports cannot be used: the module %1 does not belong to this program%2")
                  .arg(path, reinstall);
        library->unload();
        delete library;
        return nullptr;
    }
    s_module = library;
    loaded = make;
    return loaded;
}

} // namespace

std::unique_ptr<SerialLine> NetworkLineModule::makeLine(QObject *parent)
{
    QString why;
    if (const Entry make = entry(&why))
        return std::unique_ptr<SerialLine>(make(parent));
    return std::make_unique<UnavailableLine>(why, parent);
}
