#include "FittingText.h"

QString fittingForm(const QStringList &forms, const QFontMetrics &metrics, int width)
{
    for (const QString &form : forms)
        if (metrics.horizontalAdvance(form) <= width)
            return form;
    return forms.isEmpty() ? QString() : metrics.elidedText(forms.back(), Qt::ElideRight, width);
}
