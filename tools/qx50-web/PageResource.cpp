#include "PageResource.h"

#include "PageContract.h"

#include "contract/CommandTable.h"
#include "contract/PanelTexts.h"
#include "contract/RepeatRule.h"
#include "contract/StatusColour.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

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
    // The statuses the window shows in red, as the panel's own table and texts spell them.
    QByteArray red;
    for (const PanelCommand &command : CommandTable::all())
        if (command.status && command.statusColour == StatusColour::kRed)
            red += '"' + QByteArray(command.status) + "\", ";
    red += '"' + QByteArray(PanelText::kPortClosedAtStart) + "\", \"" + PanelText::kPortClosedByOperator + '"';
    page.html.replace("@CONTRACT@", QJsonDocument(pageContract()).toJson(QJsonDocument::Compact));
    page.html.replace("@STOP_CAPTION@", CommandTable::find('S')->caption);
    page.html.replace("@RED_STATUSES@", red);
    page.html.replace("@MIN_SECONDS@", QByteArray::number(RepeatRule::kMinSeconds));
    page.html.replace("@MAX_SECONDS@", QByteArray::number(RepeatRule::kMaxSeconds));
    page.html.replace("@MIN_COUNT@", QByteArray::number(RepeatRule::kMinCount));
    page.html.replace("@MAX_COUNT@", QByteArray::number(RepeatRule::kMaxCount));
    page.html.replace("@DEFAULT_COUNT@", QByteArray::number(RepeatRule::kDefaultCount));
    page.policy = "default-src 'none'; style-src " + hashOfInline(page.html, "style") + "; script-src "
        + hashOfInline(page.html, "script")
        + "; connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    return page;
}
