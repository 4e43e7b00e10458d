#include "RepeatIndicator.h"

#include "FittingText.h"
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
    m_line->setTextFormat(Qt::PlainText); // a message's name is never taken for markup
    PanelModel &model = form.model();
    connect(form.repeat, &RepeatTransmit::changed, this, &RepeatIndicator::show);
    connect(&model.line(), &Line::noticeChanged, this, &RepeatIndicator::show);
    connect(&model.eventLine(), &EventLine::changed, this, &RepeatIndicator::show);
    connect(&model.messages(), &MessageBook::changed, this, &RepeatIndicator::show);
    connect(&model.messageClock(), &MessageClock::chosenChanged, this, &RepeatIndicator::show);
    connect(&model.transmission(), &Transmission::playingChanged, this, &RepeatIndicator::show);
}

void RepeatIndicator::show()
{
    const RepeatTransmit &repeat = *m_form.repeat;
    m_form.menuRepeatTransmit->setText(repeat.repeating() ? kStopCaption : kStartCaption);
    // The one place that decides the line: a running repeat, else what the line to
    // the unit has to say (a lost port waited for), else the latest event (a recording
    // timed, a set made active), else the chosen or playing message.
    PanelModel &model = m_form.model();
    QStringList forms;
    QString detail;
    if (repeat.repeating()) {
        forms = {QStringLiteral("Repeat %1: %2 left").arg(QChar::fromLatin1(repeat.memory())).arg(repeat.left())};
    } else if (forms = model.line().noticeForms(); !forms.isEmpty()) {
        detail = model.line().noticeDetail();
    } else if (const QString event = model.eventLine().words(); !event.isEmpty()) {
        forms = {event};
    } else if (const QString message = model.messageClock().line(); !message.isEmpty()) {
        forms = {message};
    }
    const QString line = fittingForm(forms, m_line->fontMetrics(), m_line->contentsRect().width());
    m_line->setText(line);
    // What the line leaves out, for the mouse and for a screen reader.
    const QString full = !detail.isEmpty() ? detail : line != forms.value(0) ? forms.value(0) : QString();
    m_line->setToolTip(full);
    m_line->setAccessibleDescription(full);
    m_line->setVisible(!line.isEmpty());
}
