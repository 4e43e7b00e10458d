#pragma once

#include <QObject>

class Form1;
class QWidget;

// What a screen reader needs of the window beyond Qt's own accessible widgets:
// - Status is the window's status bar, with its text, and each change of it is
//   announced as it happens;
// - TextBox has its text, is labelled by Label1, and while the panel is shown each
//   line the unit sends is announced once as it arrives (never the whole text again);
// - each command sent is confirmed in a few words ("Stop", "Memory 5"), and
//   showing or hiding the panel is said;
// - the "x" button is named for what it does, the menus' check items are check
//   items, and greyed items are reached with the arrow keys and say why they are
//   greyed.
// Everything is said as its words alone, and paced (SpeechPacer) so that a screen
// reader's queue stays short.
// Qt 6.4 has no announcement event: an announcement is a short-lived notification
// object that shows under the control it speaks for, which screen readers present
// when it shows. The text interfaces also send their insertions and deletions.
void makeAccessible(Form1 &form);

// Puts this program's accessible interfaces in place of Qt's for the controls above.
// Qt keeps the first interface it makes for an object, so this comes before the
// window's controls are made.
void installAccessibleInterfaces();

// Keeps a widget out of a screen reader's view, for words it already hears another
// way (as a control's description). Called before the widget has any text.
void markSpokenElsewhere(QWidget *widget);

// Says words at once under a control of a dialog, the way the window's own
// announcements are said: a choice made, an action done, a refusal. A dialog has no
// status bar to speak through, so the words are heard with the control they concern.
void announce(QWidget *speaker, const QString &words);

// Each thing announce() says, said to a screen reader or not (none may listen), for
// whatever else speaks or checks a dialog's words.
class Announcements : public QObject {
    Q_OBJECT

public:
    static Announcements &instance();

signals:
    void said(QWidget *speaker, const QString &words);
};
