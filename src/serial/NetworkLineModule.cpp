#include "NetworkLineModule.h"

#include "RunningExecutable.h"

#include "SerialError.h"
#include "SerialLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

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

// Beside the executable (the installed program's private directory), then where the
// build puts it, for the build's own programs and tests.
QStringList candidates()
{
    const QString name = QString::fromLatin1(NetworkLineModule::kFileName);
    QStringList paths {QDir(runningExecutableDirectory()).filePath(name)};
#ifdef QX50_BUILD_DIR
    const QString built = QDir(QStringLiteral(QX50_BUILD_DIR)).filePath(name);
    if (!paths.contains(built))
        paths << built;
#endif
    return paths;
}

// Loads the module once; a failure is tried again at the next opening, so a module
// installed meanwhile is found.
Entry entry(QString *why)
{
    static Entry loaded = nullptr;
    if (loaded)
        return loaded;
    const QStringList paths = candidates();
    QString path;
    for (const QString &candidate : paths) {
        if (QFileInfo::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    const QString reinstall = QStringLiteral("; reinstall orma-qx50-voice-mem");
    if (path.isEmpty()) {
        *why = QStringLiteral("network ports cannot be used: the module %1 is missing%2").arg(paths.first(), reinstall);
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
