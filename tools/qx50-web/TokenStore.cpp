#include "TokenStore.h"

#include "Secrets.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

namespace token_store {

namespace {
constexpr auto kFolder = "orma-qx50-voice-mem";

bool isToken(const QByteArray &text)
{
    if (text.size() != 32)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}
} // namespace

QString path()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + QLatin1String(kFolder) + QStringLiteral("/web-token");
}

QByteArray obtain(bool renew, QString *why)
{
    const QString file = path();
    if (!renew) {
        QFile kept(file);
        if (kept.open(QIODevice::ReadOnly)) {
            const QByteArray text = kept.read(64).trimmed();
            // Whoever else could read it may have: a token shown to others is made anew.
            struct stat status {};
            if (isToken(text) && ::stat(QFile::encodeName(file).constData(), &status) == 0
                && (status.st_mode & 077) == 0)
                return text;
        }
    }
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("cannot make %1").arg(folder);
        return {};
    }
    const QByteArray token = randomHex128();
    // Written under a new name with the owner's rights only, then put in place whole.
    const mode_t before = ::umask(077);
    QSaveFile saved(file);
    const bool written = saved.open(QIODevice::WriteOnly) && saved.write(token + '\n') == token.size() + 1
        && saved.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) && saved.commit();
    ::umask(before);
    if (!written) {
        *why = QStringLiteral("cannot write %1: %2").arg(file, saved.errorString());
        return {};
    }
    return token;
}

} // namespace token_store
