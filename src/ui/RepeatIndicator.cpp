#include "RepeatIndicator.h"

#include "Form1.h"
#include "Twips.h"
#include "panel/RepeatTransmit.h"

#include <QAction>
#include <QLabel>

RepeatIndicator::RepeatIndicator(Form1 &form)
    : QObject(&form)
    , m_form(form)
    , m_line(new QLabel(form.controlsArea()))
{
    // Under the status, left of "Stop", above the received-data panel.
    m_line->setObjectName(QStringLiteral("RepeatLine"));
    m_line->setGeometry(twipsRect(0, 2820, 2340, 240));
    m_line->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_line->setVisible(false);
    connect(form.repeat, &RepeatTransmit::changed, this, &RepeatIndicator::show);
    connect(&form.model(), &PanelModel::noticeChanged, this, &RepeatIndicator::show);
}

void RepeatIndicator::show()
{
    const RepeatTransmit &repeat = *m_form.repeat;
    m_form.menuRepeatTransmit->setText(repeat.repeating() ? kStopCaption : kStartCaption);
    // A running repeat, else what the model has to say (a lost port waited for).
    const QString notice = m_form.model().notice();
    if (repeat.repeating())
        m_line->setText(
            QStringLiteral("Repeat %1: %2 left").arg(QChar::fromLatin1(repeat.memory())).arg(repeat.left()));
    else
        m_line->setText(notice);
    m_line->setVisible(repeat.repeating() || !notice.isEmpty());
}
