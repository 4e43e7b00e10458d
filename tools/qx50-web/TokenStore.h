#pragma once

#include <QByteArray>
#include <QString>

// The page's token: 128 bits from the system's random source, made at the first start
// and kept, readable by its owner only, in the program's config folder
// ($XDG_CONFIG_HOME/orma-qx50-voice-mem/web-token, ~/.config when that is unset).
namespace token_store {

QString path();
// The kept token, or a new one when none is kept or renew is set. An empty result
// comes with the reason in `why`.
QByteArray obtain(bool renew, QString *why);

} // namespace token_store
