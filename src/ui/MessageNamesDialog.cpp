#include "MessageNamesDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

MessageNamesDialog::MessageNamesDialog(const MessageSets &sets, const QStringList &refusedLines, QWidget *parent)
    : QDialog(parent)
    , m_original(sets)
    , m_sets(sets)
{
    for (const MessageSet &set : sets.sets)
        m_origin << set.name;
    setObjectName(QStringLiteral("MessageNamesDialog"));
    setWindowTitle(QStringLiteral("Message Names"));
    setModal(true);

    auto *chooserLabel = new QLabel(QStringLiteral("&Set:"), this);
    m_chooser = new QComboBox(this);
    m_chooser->setObjectName(QStringLiteral("MessageSetChooser"));
    m_chooser->setAccessibleName(QStringLiteral("Set in use"));
    chooserLabel->setBuddy(m_chooser);

    auto *setNameLabel = new QLabel(QStringLiteral("Set na&me:"), this);
    m_setName = new QLineEdit(this);
    m_setName->setObjectName(QStringLiteral("MessageSetName"));
    m_setName->setAccessibleName(QStringLiteral("Set name, for New and Rename"));
    m_setName->setMaxLength(MessageRule::kMaxNameLength * 2); // the rule counts characters, and says why
    setNameLabel->setBuddy(m_setName);
    auto *newButton = new QPushButton(QStringLiteral("&New"), this);
    auto *renameButton = new QPushButton(QStringLiteral("&Rename"), this);
    auto *deleteButton = new QPushButton(QStringLiteral("&Delete"), this);
    newButton->setAccessibleDescription(QStringLiteral("Makes a new empty set with the set name and uses it"));
    renameButton->setAccessibleDescription(QStringLiteral("Gives the set in use the set name"));
    deleteButton->setAccessibleDescription(QStringLiteral("Deletes the set in use"));
    for (QPushButton *button : {newButton, renameButton, deleteButton})
        button->setAutoDefault(false);
    connect(newButton, &QPushButton::clicked, this, &MessageNamesDialog::newSet);
    connect(renameButton, &QPushButton::clicked, this, &MessageNamesDialog::renameSet);
    connect(deleteButton, &QPushButton::clicked, this, &MessageNamesDialog::deleteSet);

    auto *top = new QGridLayout;
    top->addWidget(chooserLabel, 0, 0);
    top->addWidget(m_chooser, 0, 1, 1, 3);
    top->addWidget(setNameLabel, 1, 0);
    top->addWidget(m_setName, 1, 1, 1, 3);
    top->addWidget(newButton, 2, 1);
    top->addWidget(renameButton, 2, 2);
    top->addWidget(deleteButton, 2, 3);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Name"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Length"), this), 0, 2);
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        Row &row = m_rows[static_cast<size_t>(memory)];
        auto *label = new QLabel(QStringLiteral("Memory &%1").arg(memory), this);
        row.name = new QLineEdit(this);
        row.name->setObjectName(QStringLiteral("Memory %1 name").arg(memory));
        row.name->setAccessibleName(QStringLiteral("Memory %1 name").arg(memory));
        row.name->setMaxLength(MessageRule::kMaxNameLength * 2);
        label->setBuddy(row.name);
        row.length = new QDoubleSpinBox(this);
        row.length->setObjectName(QStringLiteral("Memory %1 length").arg(memory));
        row.length->setAccessibleName(QStringLiteral("Memory %1 length in seconds").arg(memory));
        row.length->setAccessibleDescription(QStringLiteral("seconds; 0 is not known"));
        row.length->setRange(0, MessageRule::kMaxLengthMs / 1000.0);
        row.length->setDecimals(3);
        row.length->setSingleStep(0.1);
        row.length->setSuffix(QStringLiteral(" s"));
        row.length->setSpecialValueText(QStringLiteral("not known"));
        grid->addWidget(label, memory + 1, 0);
        grid->addWidget(row.name, memory + 1, 1);
        grid->addWidget(row.length, memory + 1, 2);
    }

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("MessageNamesProblem"));
    m_problem->setTextFormat(Qt::PlainText); // names and file lines come from outside
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    if (!refusedLines.isEmpty()) {
        auto *refused = new QLabel(this);
        refused->setObjectName(QStringLiteral("MessagesFileRefused"));
        refused->setTextFormat(Qt::PlainText);
        refused->setWordWrap(true);
        refused->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        refused->setFocusPolicy(Qt::StrongFocus); // a screen reader's user can reach it with Tab
        QString text = QStringLiteral("Lines of the messages file not read:\n")
            + refusedLines.first(std::min<qsizetype>(refusedLines.size(), kShownRefusedLines)).join(u'\n');
        if (refusedLines.size() > kShownRefusedLines)
            text += QStringLiteral("\nand %1 more").arg(refusedLines.size() - kShownRefusedLines);
        refused->setText(text);
        refused->setAccessibleName(QStringLiteral("Lines of the messages file not read"));
        layout->addWidget(refused);
    }
    layout->addWidget(m_problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &MessageNamesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    fillChooser();
    showRows();
    connect(m_chooser, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index != m_sets.active)
            showSet(index);
    });
    m_chooser->setFocus();
}

MessageSets MessageNamesDialog::sets() const
{
    MessageSets sets = m_sets;
    auto &memories = sets.sets[sets.active].memories;
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        const Row &row = m_rows[static_cast<size_t>(memory)];
        memories[static_cast<size_t>(memory)]
            = {row.name->text().trimmed(), static_cast<int>(std::lround(row.length->value() * 1000))};
    }
    return sets;
}

QList<MessageEdit> MessageNamesDialog::edits() const
{
    QList<MessageEdit> edits = m_setEdits;
    const MessageSets now = sets();
    for (int i = 0; i < now.sets.size(); ++i) {
        const MessageSet &set = now.sets[i];
        const auto was = std::find_if(m_original.sets.cbegin(), m_original.sets.cend(),
                                      [&](const MessageSet &old) { return old.name == m_origin[i]; });
        for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
            const MessageSlot &slot = set.memories[static_cast<size_t>(memory)];
            const MessageSlot before
                = was == m_original.sets.cend() ? MessageSlot {} : was->memories[static_cast<size_t>(memory)];
            std::optional<QString> name;
            std::optional<int> lengthMs;
            if (slot.name != before.name)
                name = slot.name;
            if (slot.lengthMs != before.lengthMs)
                lengthMs = slot.lengthMs;
            if (name || lengthMs)
                edits << MessageEdit::slotOf(set.name, memory, name, lengthMs);
        }
    }
    const QString shown = m_origin[now.active];
    if (shown.isEmpty() || shown != m_original.sets[m_original.active].name)
        edits << MessageEdit::select(now.sets[now.active].name);
    return edits;
}

QString MessageNamesDialog::problem() const
{
    return m_problem->isVisible() ? m_problem->text() : QString();
}

void MessageNamesDialog::keepRows()
{
    m_sets = sets();
}

void MessageNamesDialog::showRows()
{
    const auto &memories = m_sets.sets[m_sets.active].memories;
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        const MessageSlot &held = memories[static_cast<size_t>(memory)];
        m_rows[static_cast<size_t>(memory)].name->setText(held.name);
        m_rows[static_cast<size_t>(memory)].length->setValue(held.lengthMs / 1000.0);
    }
}

void MessageNamesDialog::showSet(int index)
{
    keepRows();
    m_sets.active = index;
    showRows();
    tell({});
}

void MessageNamesDialog::fillChooser()
{
    const QSignalBlocker quiet(m_chooser);
    m_chooser->clear();
    for (const MessageSet &set : m_sets.sets)
        m_chooser->addItem(set.name);
    m_chooser->setCurrentIndex(m_sets.active);
}

void MessageNamesDialog::tell(const QString &problem)
{
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_problem->setAccessibleName(problem);
}

void MessageNamesDialog::newSet()
{
    const QString name = m_setName->text().trimmed();
    QString why = MessageRule::setNameRefusal(name);
    if (why.isEmpty() && m_sets.sets.size() >= MessageRule::kMaxSets)
        why = QStringLiteral("there are %1 sets already").arg(MessageRule::kMaxSets);
    for (const MessageSet &set : m_sets.sets)
        if (why.isEmpty() && set.name == name)
            why = QStringLiteral("there is a set %1 already").arg(name);
    if (!why.isEmpty()) {
        tell(why);
        m_setName->setFocus();
        return;
    }
    keepRows();
    m_setEdits << MessageEdit::add(name);
    m_origin << QString();
    m_sets.sets.append(MessageSet {name, {}});
    m_sets.active = static_cast<int>(m_sets.sets.size() - 1);
    fillChooser();
    showRows();
    tell({});
    m_setName->clear();
}

void MessageNamesDialog::renameSet()
{
    const QString name = m_setName->text().trimmed();
    QString why = MessageRule::setNameRefusal(name);
    for (int i = 0; i < m_sets.sets.size(); ++i)
        if (why.isEmpty() && i != m_sets.active && m_sets.sets[i].name == name)
            why = QStringLiteral("there is a set %1 already").arg(name);
    if (!why.isEmpty()) {
        tell(why);
        m_setName->setFocus();
        return;
    }
    m_setEdits << MessageEdit::rename(m_sets.sets[m_sets.active].name, name);
    m_sets.sets[m_sets.active].name = name;
    fillChooser();
    tell({});
    m_setName->clear();
}

void MessageNamesDialog::deleteSet()
{
    if (m_sets.sets.size() == 1) {
        tell(QStringLiteral("the last set stays"));
        return;
    }
    m_setEdits << MessageEdit::remove(m_sets.sets[m_sets.active].name);
    m_origin.removeAt(m_sets.active);
    m_sets.sets.removeAt(m_sets.active);
    m_sets.active = 0;
    fillChooser();
    showRows();
    tell({});
}

void MessageNamesDialog::accept()
{
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        QLineEdit *name = m_rows[static_cast<size_t>(memory)].name;
        if (const QString why = MessageRule::nameRefusal(name->text().trimmed()); !why.isEmpty()) {
            tell(QStringLiteral("Memory %1: %2").arg(memory).arg(why));
            name->setFocus();
            return;
        }
    }
    QDialog::accept();
}
