#include "MessagesInWindow.h"

#include "Form1.h"
#include "MessageNamesDialog.h"
#include "panel/UntrappedFailure.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

MessagesInWindow::MessagesInWindow(Form1 &form)
    : QObject(&form)
    , m_form(form)
    , m_line(form.controlsArea()->findChild<QLabel *>(QStringLiteral("RepeatLine")))
{
    Q_ASSERT(m_line);
    m_line->setTextFormat(Qt::PlainText); // a name is never taken for markup
    auto *options = form.findChild<QMenu *>(QStringLiteral("menuOptions"));
    m_item = options->addAction(kItemCaption);
    m_item->setObjectName(QStringLiteral("menuMessageNames"));
    connect(m_item, &QAction::triggered, this,
            [this] { runTrapped(m_form.model().desktop(), [this] { openDialog(); }); });

    PanelModel &model = form.model();
    connect(&model.messages(), &MessageBook::changed, this, [this] {
        describeButtons();
        showLine();
    });
    connect(&model.messageClock(), &MessageClock::chosenChanged, this, &MessagesInWindow::showLine);
    connect(&model.messageClock(), &MessageClock::playingChanged, this, &MessagesInWindow::showLine);
    // After the repeat's indicator: when its repeat or the model's notice ends, this
    // line takes the place again.
    connect(&model.repeat(), &RepeatTransmit::changed, this, &MessagesInWindow::showLine);
    connect(&model, &PanelModel::noticeChanged, this, &MessagesInWindow::showLine);
    describeButtons();
}

void MessagesInWindow::describeButtons()
{
    const MessageBook &book = m_form.model().messages();
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        QPushButton *button = m_form.Number[static_cast<size_t>(memory)];
        const QString description = book.description(memory);
        // A name holds no < or > (the rule refuses them), so Qt never takes it for markup.
        button->setToolTip(description);
        button->setAccessibleDescription(description);
    }
}

void MessagesInWindow::showLine()
{
    if (m_form.model().repeat().repeating() || !m_form.model().notice().isEmpty())
        return; // the repeat's words, or the model's notice (a lost port waited for), stay
    const QString line = m_form.model().messageClock().line();
    m_line->setText(line);
    m_line->setVisible(!line.isEmpty());
}

void MessagesInWindow::openDialog()
{
    MessageBook &book = m_form.model().messages();
    MessageNamesDialog dialog(book.sets(), book.refusedLines(), &m_form);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString refused = book.replaceAll(dialog.sets());
    const QString failed = refused.isEmpty() ? book.writeFailure() : refused;
    if (!failed.isEmpty())
        m_form.model().desktop().messageBox(QStringLiteral("The message names could not be saved"), Desktop::Warning,
                                            {}, failed);
}
