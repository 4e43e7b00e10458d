#include "PageResource.h"

#include "app/RepeatTransmit.h"

#include <QCryptographicHash>
#include <QFile>

namespace {
// The hash source a policy names for the text between an inline element's tags.
QByteArray hashOfInline(const QByteArray &html, const QByteArray &tag)
{
    const qsizetype open = html.indexOf('<' + tag + '>');
    const qsizetype close = html.indexOf("</" + tag + '>', open);
    if (open < 0 || close < 0)
        return "'none'";
    const QByteArray body = html.mid(open + tag.size() + 2, close - open - tag.size() - 2);
    return "'sha256-" + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toBase64() + '\'';
}
} // namespace

PageResource loadPage()
{
    QFile file(QStringLiteral(":/qx50-web/index.html"));
    PageResource page;
    if (!file.open(QIODevice::ReadOnly))
        return page;
    page.html = file.readAll();
    page.html.replace("@MIN_SECONDS@", QByteArray::number(RepeatTransmit::kMinSeconds));
    page.html.replace("@MAX_SECONDS@", QByteArray::number(RepeatTransmit::kMaxSeconds));
    page.html.replace("@MIN_COUNT@", QByteArray::number(RepeatTransmit::kMinCount));
    page.html.replace("@MAX_COUNT@", QByteArray::number(RepeatTransmit::kMaxCount));
    page.html.replace("@DEFAULT_COUNT@", QByteArray::number(RepeatTransmit::kDefaultCount));
    page.policy = "default-src 'none'; style-src " + hashOfInline(page.html, "style") + "; script-src "
        + hashOfInline(page.html, "script")
        + "; connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    return page;
}
