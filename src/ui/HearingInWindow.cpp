#include "HearingInWindow.h"

#include "panel/SetDescription.h"
#include "EventSounds.h"
#include "Form1.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

HearingInWindow::HearingInWindow(Form1 &form)
    : QObject(&form)
    , m_form(form)
{
    HearingChoices &hearing = form.model().hearing();
    auto *options = form.findChild<QMenu *>(QStringLiteral("menuOptions"));

    m_sounds = options->addAction(kSoundsCaption);
    m_sounds->setObjectName(QStringLiteral("menuSounds"));
    m_sounds->setCheckable(true);
    m_sounds->setChecked(hearing.sounds());
    connect(m_sounds, &QAction::triggered, &hearing, &HearingChoices::setSounds);
    connect(&hearing, &HearingChoices::soundsChanged, m_sounds, &QAction::setChecked);

    m_speech = options->addMenu(kSpeechCaption);
    m_speech->setObjectName(QStringLiteral("menuSpeech"));
    auto *levels = new QActionGroup(m_speech);
    for (const auto level : {HearingChoices::Speech::Full, HearingChoices::Speech::Brief, HearingChoices::Speech::Off}) {
        const QString name = PanelPreferences::speechName(level);
        QAction *item = m_speech->addAction(name);
        item->setObjectName(QStringLiteral("menuSpeech") + name);
        item->setCheckable(true);
        item->setChecked(hearing.speech() == level);
        levels->addAction(item);
        connect(item, &QAction::triggered, &hearing, [&hearing, level] { hearing.setSpeech(level); });
        connect(&hearing, &HearingChoices::speechChanged, item,
                [item, level](HearingChoices::Speech now) { item->setChecked(now == level); });
    }

    m_readSet = new QAction(QStringLiteral("Read Set"), &form);
    m_readSet->setObjectName(QStringLiteral("readSet"));
    m_readSet->setShortcut(QKeySequence(QString::fromLatin1(kReadSetKey)));
    m_readSet->setShortcutContext(Qt::WindowShortcut);
    form.addAction(m_readSet);
    connect(m_readSet, &QAction::triggered, this, [this] { emit setDescribed(describeActiveSet(m_form.model().messages())); });

    m_eventSounds = new EventSounds(form.model(), this);
}
