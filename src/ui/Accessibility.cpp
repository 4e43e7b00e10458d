#include "Accessibility.h"

#include "ArrivingLines.h"
#include "Form1.h"
#include "HearingInWindow.h"
#include "ReachableDisabledItems.h"
#include "SpeechPacer.h"
#include "SpeechVerbosity.h"
#include "TailLabel.h"
#include "contract/CommandTable.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include <deque>

namespace {

// The dynamic property that keeps a widget out of a screen reader's view.
constexpr char kSpokenElsewhere[] = "qx50SpokenElsewhere";

// The text a label draws, for reading character by character.
class LabelTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    LabelTextAccessible(Label *label, QAccessible::Role role)
        : QAccessibleWidget(label, role)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return shown();
        return QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override
    {
        const QString all = shown();
        const int start = std::clamp(startOffset, 0, int(all.size()));
        const int end = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, start, int(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }
    // Read only, with neither caret nor selection.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void scrollToSubstring(int, int) override {}

protected:
    QString shown() const { return static_cast<Label *>(widget())->text(); }
};

// Status: the current function, found by a screen reader's "read status bar".
class StatusBarAccessible : public LabelTextAccessible {
public:
    explicit StatusBarAccessible(Label *status)
        : LabelTextAccessible(status, QAccessible::StatusBar)
    {
    }
};

// TextBox: named after the panel's caption (Label1, its label), its text the
// received text.
class ReceivedTextAccessible : public LabelTextAccessible {
public:
    explicit ReceivedTextAccessible(TailLabel *panel)
        : LabelTextAccessible(panel, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return caption() ? caption()->caption() : QString();
        return LabelTextAccessible::text(t);
    }
    using LabelTextAccessible::text;

    QRect characterRect(int offset) const override
    {
        const QRect cell = static_cast<TailLabel *>(widget())->characterRect(offset).toAlignedRect();
        return cell.isEmpty() ? QRect() : QRect(widget()->mapToGlobal(cell.topLeft()), cell.size());
    }

private:
    Label *caption() const
    {
        auto *form = qobject_cast<Form1 *>(widget()->window());
        return form ? form->Label1 : nullptr;
    }
};

// An accessible object with no children whose text is not for editing.
class LeafAccessible : public QAccessibleInterface {
public:
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override {}
};

// A check item of a menu, with its check mark as a state a screen reader reads
// ("checked"), and a greyed item's reason (its tooltip) as its description. An
// unchecked item says "not checked" as its description. Qt 6.4's AT-SPI bridge
// has no check menu item role, and its menus count only children of the menu item
// role: any other role leaves the item without a place in its menu, and a screen
// reader then says nothing of it.
class CheckMenuItemAccessible : public LeafAccessible, public QAccessibleActionInterface {
public:
    CheckMenuItemAccessible(QMenu *menu, QAction *item)
        : m_menu(menu)
        , m_item(item)
    {
    }

    bool isValid() const override { return m_menu && m_item; }
    QObject *object() const override { return m_item; }
    QWindow *window() const override
    {
        if (QWindow *own = m_menu->windowHandle())
            return own;
        return m_menu->parentWidget() ? m_menu->parentWidget()->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_menu); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QString(m_item->text()).remove(u'&');
        if (t == QAccessible::Accelerator)
            return m_item->shortcut().toString(QKeySequence::NativeText);
        if (t == QAccessible::Description) {
            QStringList said;
            if (!m_item->isChecked())
                said << QStringLiteral("not checked");
            if (m_item->toolTip() != text(QAccessible::Name))
                said << m_item->toolTip(); // set only where the item has something to explain
            return said.join(QStringLiteral(", "));
        }
        return {};
    }
    QRect rect() const override
    {
        const QRect area = m_menu->actionGeometry(m_item);
        return m_menu->isVisible() ? QRect(m_menu->mapToGlobal(area.topLeft()), area.size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_menu->isVisible() || !m_item->isVisible();
        s.focusable = true;
        s.focused = s.selected = m_menu->activeAction() == m_item;
        s.disabled = !m_item->isEnabled();
        s.checkable = true;
        s.checked = m_item->isChecked();
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    void doAction(const QString &name) override
    {
        if ((name == pressAction() || name == toggleAction()) && m_item->isEnabled())
            m_item->trigger();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QMenu> m_menu;
    QPointer<QAction> m_item;
};


// An announcement: a notification shown under the control it speaks for. Under the
// status bar, screen readers say its words alone, without "notification".
class Notice : public LeafAccessible {
public:
    Notice(QWidget *speaker, const QString &words)
        : m_speaker(speaker)
        , m_words(words)
    {
    }

    bool isValid() const override { return m_speaker; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_speaker ? m_speaker->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_speaker ? QAccessible::queryAccessibleInterface(m_speaker) : nullptr;
    }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_words : QString(); }
    QRect rect() const override
    {
        return m_speaker ? QRect(m_speaker->mapToGlobal(QPoint(0, 0)), QSize(1, 1)) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }

private:
    QPointer<QWidget> m_speaker;
    QString m_words;
};

// Shows an announcement under `speaker` for a screen reader that listens. The last
// few are kept, long enough for a screen reader to ask about one after it showed.
void showNotice(QWidget *speaker, const QString &words)
{
    constexpr size_t kNoticesKept = 8;
    static std::deque<QAccessible::Id> kept;
    if (words.trimmed().isEmpty() || !QAccessible::isActive())
        return;
    auto *notice = new Notice(speaker, words);
    kept.push_back(QAccessible::registerAccessibleInterface(notice));
    QAccessibleEvent shown(notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    if (kept.size() > kNoticesKept) {
        QAccessible::deleteAccessibleInterface(kept.front());
        kept.pop_front();
    }
}

// A widget whose words reach a screen reader another way (as another control's
// description): present, but never shown to it.
class SpokenElsewhereAccessible : public QAccessibleWidget {
public:
    explicit SpokenElsewhereAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *accessibleFor(const QString &, QObject *object)
{
    if (auto *widget = qobject_cast<QWidget *>(object); widget && widget->property(kSpokenElsewhere).toBool())
        return new SpokenElsewhereAccessible(widget);
    if (auto *item = qobject_cast<QAction *>(object)) {
        if (!item->isCheckable())
            return nullptr;
        for (QObject *shownIn : item->associatedObjects())
            if (auto *menu = qobject_cast<QMenu *>(shownIn))
                return new CheckMenuItemAccessible(menu, item);
        return nullptr;
    }
    // The window holds its labels before anything is shown in them.
    auto *label = qobject_cast<Label *>(object);
    auto *form = label ? qobject_cast<Form1 *>(label->window()) : nullptr;
    if (!form)
        return nullptr;
    if (label == form->Status)
        return new StatusBarAccessible(label);
    if (auto *panel = qobject_cast<TailLabel *>(label); panel && label == form->TextBox)
        return new ReceivedTextAccessible(panel);
    return nullptr;
}

// Tells screen readers of the window's changes: text events on the labels, and
// announcements of the status, of each command sent, of the panel shown or hidden
// and of the received lines, paced so that speech never falls behind.
class Announcer : public QObject {
public:
    explicit Announcer(Form1 &form)
        : QObject(&form)
        , m_form(form)
        , m_statusShown(form.Status->text())
        , m_panelShown(form.TextBox->text())
        , m_verbosity(form.model().hearing().speech())
        , m_repeating(form.model().repeat().repeating())
    {
        m_clock.start();
        // The labels' texts as drawn, and what the panel model does.
        connect(form.Status, &Label::captionChanged, this, &Announcer::statusChanged);
        connect(form.TextBox, &Label::captionChanged, this, &Announcer::panelChanged);
        PanelModel &model = form.model();
        connect(&model.line(), &Line::inputRead, this, &Announcer::inputRead);
        connect(&model.hearing(), &HearingChoices::speechChanged, this,
                [this](HearingChoices::Speech speech) { m_verbosity.setSpeech(speech); });
        connect(&model.repeat(), &RepeatTransmit::told, this, &Announcer::repeatTold);
        connect(&model.repeat(), &RepeatTransmit::changed, this, [this] {
            if (m_form.model().repeat().repeating())
                sayIf(m_verbosity.repeatProgressed(m_form.model().repeat().left(), m_clock.elapsed()));
        });
        connect(&model.line(), &Line::told, this, [this](const QString &words) { sayIf(m_verbosity.line(words)); });
        // The set read out is asked for by the operator: heard at every level of speech.
        if (auto *hearing = form.findChild<HearingInWindow *>())
            connect(hearing, &HearingInWindow::setDescribed, this, [this](const QString &words) { say(words); });
        connect(&model.eventLine(), &EventLine::told, this, [this](const QString &words) { sayIf(m_verbosity.line(words)); });
        connect(&model, &PanelModel::commandSent, this, &Announcer::commandSent);
        connect(form.menuSpeakReceivedData, &QAction::toggled, this, [this](bool on) {
            if (!on)
                m_pacer.dropHeldLines();
        });
        connect(&form, &Form1::receivedDataShown, this, [this](bool shown) {
            if (!shown)
                m_pacer.dropHeldLines();
            sayIf(m_verbosity.status(shown ? QStringLiteral("Received data shown") : QStringLiteral("Received data hidden")));
        });
    }

private:
    void statusChanged()
    {
        const QString shown = m_form.Status->text();
        if (QAccessible::isActive()) {
            QAccessibleTextUpdateEvent changed(m_form.Status, 0, m_statusShown, shown);
            QAccessible::updateAccessibility(&changed);
        }
        m_statusShown = shown;
        const bool confirmed = shown == m_confirmed; // the command's own words said it already
        m_confirmed.clear();
        if (!confirmed)
            sayIf(m_verbosity.status(shown));
    }

    // Every command that goes out is confirmed, a repeated one too; the status line's
    // change that follows is then not said a second time.
    void commandSent(char command)
    {
        const PanelCommand *sent = CommandTable::find(command);
        const QString name = m_form.model().messages().name(CommandTable::isMemory(command) ? command - '0' : -1);
        // "Memory 5, CQ contest", or at Brief "5, CQ contest"
        // A key or another door stops a repeat before its command goes: while one runs,
        // what goes out is the repeat's own.
        const auto words = m_verbosity.command(sent ? QString::fromLatin1(sent->spoken) : QString(), command, name,
                                               m_form.model().repeat().repeating());
        sayIf(words);
        // Unsaid, the command's status line stays unsaid too: a repeat's Transmit.
        m_confirmed = words.value_or(sent && sent->status ? QString::fromLatin1(sent->status) : QString());
    }

    // A repeat tells its start before its first transmission, and why it ended.
    void repeatTold(const QString &words)
    {
        const RepeatTransmit &repeat = m_form.model().repeat();
        const bool started = repeat.repeating() && !m_repeating;
        m_repeating = repeat.repeating();
        sayIf(started ? m_verbosity.repeatStarted(words, repeat.left(), m_clock.elapsed())
                      : m_verbosity.repeatEnded(words));
    }

    // The panel's text loses characters at its start and gains them at its end. The
    // tick changes it while data flows, so the events are worked out only for a
    // screen reader that listens.
    void panelChanged()
    {
        const QString shown = m_form.TextBox->text();
        if (QAccessible::isActive())
            tellPanelChange(shown);
        m_panelShown = shown;
    }

    void tellPanelChange(const QString &shown)
    {
        qsizetype dropped = 0;
        while (dropped < m_panelShown.size() && !shown.startsWith(QStringView(m_panelShown).mid(dropped)))
            ++dropped;
        const qsizetype kept = m_panelShown.size() - dropped;
        if (dropped > 0) {
            QAccessibleTextRemoveEvent removed(m_form.TextBox, 0, m_panelShown.left(dropped));
            QAccessible::updateAccessibility(&removed);
        }
        if (shown.size() > kept) {
            QAccessibleTextInsertEvent inserted(m_form.TextBox, int(kept), shown.mid(kept));
            QAccessible::updateAccessibility(&inserted);
        }
    }

    // Every tick: the lines it completed, then any held lines whose time has come.
    void inputRead(const QString &characters)
    {
        m_confirmed.clear(); // a status line left unchanged by its command
        if (!QAccessible::isActive())
            return; // every tick: no lines split or paced for nobody
        const QStringList lines = m_arriving.take(characters);
        const qint64 now = m_clock.elapsed();
        // heard only while the panel is shown and the operator wants them spoken
        if (!m_form.TextBox->isHidden() && m_form.menuSpeakReceivedData->isChecked()
            && m_verbosity.receivedLines(m_form.model().transmission().active()))
            for (const QString &line : lines)
                if (const auto words = m_pacer.lineArrived(line, now))
                    announce(*words);
        if (const auto words = m_pacer.tick(now))
            announce(*words);
    }

    // Words said at once, ahead of any received lines still held.
    void say(const QString &words)
    {
        if (words.trimmed().isEmpty())
            return;
        m_pacer.saidNow(words, m_clock.elapsed());
        announce(words);
    }

    void sayIf(const std::optional<QString> &words)
    {
        if (words)
            say(*words);
    }

    void announce(const QString &words) { showNotice(m_form.Status, words); }

    Form1 &m_form;
    QString m_statusShown;
    QString m_panelShown;
    QString m_confirmed; // a command's words, said before its status line changes
    ArrivingLines m_arriving;
    SpeechPacer m_pacer;
    SpeechVerbosity m_verbosity;
    bool m_repeating;
    QElapsedTimer m_clock;
};

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

void makeAccessible(Form1 &form)
{
    // The Com menu's greyed ports can be reached and say why they are greyed.
    auto *menuStyle = new ReachableDisabledItems;
    menuStyle->setParent(&form);
    if (auto *com = form.findChild<QMenu *>(QStringLiteral("menu_mainCom")))
        com->setStyle(menuStyle);
    form.Command6->setAccessibleName(QStringLiteral("Hide received data"));
    form.Label1->setBuddy(form.TextBox);
    new Announcer(form);
}

Announcements &Announcements::instance()
{
    static Announcements announcements;
    return announcements;
}

void announce(QWidget *speaker, const QString &words)
{
    if (!speaker || words.trimmed().isEmpty())
        return;
    emit Announcements::instance().said(speaker, words);
    showNotice(speaker, words);
}

void markSpokenElsewhere(QWidget *widget)
{
    widget->setProperty(kSpokenElsewhere, true);
}
