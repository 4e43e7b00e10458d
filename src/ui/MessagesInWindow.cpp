#include "MessagesInWindow.h"

#include "Form1.h"
#include "MessageNamesDialog.h"
#include "panel/UntrappedFailure.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

MessagesInWindow::MessagesInWindow(Form1 &form)
    : QObject(&form)
    , m_form(form)
{
    auto *options = form.findChild<QMenu *>(QStringLiteral("menuOptions"));
    m_item = options->addAction(kItemCaption);
    m_item->setObjectName(QStringLiteral("menuMessageNames"));
    connect(m_item, &QAction::triggered, this,
            [this] { runTrapped(m_form.model().boxes().desktop(), [this] { openDialog(); }); });

    PanelModel &model = form.model();
    connect(&model.messages(), &MessageBook::changed, this, &MessagesInWindow::describeButtons);
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

void MessagesInWindow::openDialog()
{
    MessageBook &book = m_form.model().messages();
    MessageNamesDialog dialog(book.sets(), book.refusedLines(), &m_form);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString refused = book.apply(dialog.edits());
    const QString failed = refused.isEmpty() ? book.writeFailure() : refused;
    if (!failed.isEmpty())
        m_form.model().boxes().desktop().messageBox(QStringLiteral("The message names could not be saved"),
                                                    Desktop::Warning, {}, failed);
}
