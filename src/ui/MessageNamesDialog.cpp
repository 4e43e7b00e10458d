#include "MessageNamesDialog.h"

#include "Accessibility.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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
    nameField(m_setName);
    setNameLabel->setBuddy(m_setName);
    m_setNameRefusal = besideLabel();
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
    top->addWidget(m_setNameRefusal, 1, 4);
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
        nameField(row.name);
        label->setBuddy(row.name);
        row.refusal = besideLabel();
        row.length = new QDoubleSpinBox(this);
        row.length->setObjectName(QStringLiteral("Memory %1 length").arg(memory));
        row.length->setAccessibleName(QStringLiteral("Memory %1 length in seconds").arg(memory));
        row.length->setAccessibleDescription(MessageRule::lengthRule());
        row.length->setRange(0, MessageRule::kMaxLengthMs / 1000.0);
        row.length->setDecimals(3);
        row.length->setSingleStep(0.1);
        row.length->setSuffix(QStringLiteral(" s"));
        row.length->setSpecialValueText(QStringLiteral("not known"));
        grid->addWidget(label, memory + 1, 0);
        grid->addWidget(row.name, memory + 1, 1);
        grid->addWidget(row.length, memory + 1, 2);
        grid->addWidget(row.refusal, memory + 1, 3);
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
        if (index >= 0 && index != m_sets.active) {
            showSet(index);
            // a combo box's new value is not said by itself while it has the focus
            say(m_chooser, QStringLiteral("Set %1, %2 of %3").arg(m_chooser->currentText()).arg(index + 1).arg(m_chooser->count()));
        }
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
    return m_said;
}

QString MessageNamesDialog::refusalBeside(const QLineEdit *field) const
{
    const QLabel *beside = refusalLabelOf(field);
    return beside && !beside->isHidden() ? beside->text() : QString();
}

QLabel *MessageNamesDialog::besideLabel()
{
    auto *beside = new QLabel(this);
    beside->setTextFormat(Qt::PlainText); // it may quote a name
    beside->setWordWrap(true);
    beside->setVisible(false);
    markSpokenElsewhere(beside); // heard as its field's description
    return beside;
}

QLabel *MessageNamesDialog::refusalLabelOf(const QLineEdit *field) const
{
    if (field == m_setName)
        return m_setNameRefusal;
    for (const Row &row : m_rows)
        if (row.name == field)
            return row.refusal;
    return nullptr;
}

// A name field takes at most the rule's characters (a character beyond the basic
// plane is two of Qt's), says so when more are typed or pasted, and loses its
// refusal once it is changed.
void MessageNamesDialog::nameField(QLineEdit *field)
{
    field->setMaxLength(MessageRule::kMaxNameLength * 2); // the bound before characters are counted
    connect(field, &QLineEdit::textEdited, this, [this, field](const QString &text) {
        showRefusal(field, {});
        QList<uint> characters = text.toUcs4();
        if (characters.size() <= MessageRule::kMaxNameLength)
            return;
        characters.resize(MessageRule::kMaxNameLength);
        field->setText(QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), characters.size()));
        say(field, QStringLiteral("At most %1 characters").arg(MessageRule::kMaxNameLength));
    });
}

void MessageNamesDialog::showRefusal(QLineEdit *field, const QString &why)
{
    QLabel *beside = refusalLabelOf(field);
    beside->setText(why);
    // A wrapped label is laid out as narrow as its longest word, and a grid gives it no
    // more height than its row had: it is held to a few short lines, all of them shown.
    const QFontMetrics metrics = beside->fontMetrics();
    const int width = std::min(metrics.horizontalAdvance(why), metrics.averageCharWidth() * MessageRule::kMaxNameLength);
    beside->setMinimumSize(width, beside->heightForWidth(width));
    beside->setVisible(!why.isEmpty());
    field->setAccessibleDescription(why);
}

// A set name refused stays in its field, all of it selected, so the next name typed
// takes its place instead of joining it.
void MessageNamesDialog::refuseSetName(const QString &why)
{
    showRefusal(m_setName, why);
    m_said = why;
    m_setName->setFocus();
    m_setName->selectAll();
    say(m_setName, why);
}

void MessageNamesDialog::clearRefusals()
{
    showRefusal(m_setName, {});
    for (const Row &row : m_rows)
        showRefusal(row.name, {});
    m_problem->clear();
    m_problem->setVisible(false);
    m_said.clear();
}

void MessageNamesDialog::say(QWidget *about, const QString &words)
{
    announce(about, words);
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
    clearRefusals();
}

void MessageNamesDialog::fillChooser()
{
    const QSignalBlocker quiet(m_chooser);
    m_chooser->clear();
    for (const MessageSet &set : m_sets.sets)
        m_chooser->addItem(set.name);
    m_chooser->setCurrentIndex(m_sets.active);
}

void MessageNamesDialog::newSet()
{
    const QString name = m_setName->text().trimmed();
    QString why = MessageRule::setNameRefusal(name);
    if (why.isEmpty() && m_sets.sets.size() >= MessageRule::kMaxSets)
        why = MessageRule::setsFull();
    for (const MessageSet &set : m_sets.sets)
        if (why.isEmpty() && set.name == name)
            why = MessageRule::setNameTaken(name);
    if (!why.isEmpty()) {
        refuseSetName(why);
        return;
    }
    keepRows();
    m_setEdits << MessageEdit::add(name);
    m_origin << QString();
    m_sets.sets.append(MessageSet {name, {}});
    m_sets.active = static_cast<int>(m_sets.sets.size() - 1);
    fillChooser();
    showRows();
    clearRefusals();
    m_setName->clear();
    say(m_chooser, QStringLiteral("Set %1 made, and in use").arg(name));
}

void MessageNamesDialog::renameSet()
{
    const QString name = m_setName->text().trimmed();
    QString why = MessageRule::setNameRefusal(name);
    for (int i = 0; i < m_sets.sets.size(); ++i)
        if (why.isEmpty() && i != m_sets.active && m_sets.sets[i].name == name)
            why = MessageRule::setNameTaken(name);
    if (!why.isEmpty()) {
        refuseSetName(why);
        return;
    }
    const QString before = m_sets.sets[m_sets.active].name;
    m_setEdits << MessageEdit::rename(before, name);
    m_sets.sets[m_sets.active].name = name;
    fillChooser();
    clearRefusals();
    m_setName->clear();
    say(m_chooser, QStringLiteral("Set %1 renamed %2").arg(before, name));
}

QString MessageNamesDialog::deleteQuestion(const QString &set, int namedMemories)
{
    const QString holds = namedMemories == 0 ? QStringLiteral("no named memories")
        : namedMemories == 1                  ? QStringLiteral("1 named memory")
                                              : QStringLiteral("%1 named memories").arg(namedMemories);
    return QStringLiteral("Delete the set %1? It holds %2.").arg(set, holds);
}

bool MessageNamesDialog::deleteSet()
{
    if (m_sets.sets.size() == 1) {
        const QString why = QStringLiteral("the last set stays");
        showRefusal(m_setName, why);
        m_said = why;
        say(m_chooser, why);
        return false;
    }
    keepRows(); // the names as the operator sees them are the ones counted
    const MessageSet &doomed = m_sets.sets[m_sets.active];
    const int named = static_cast<int>(std::count_if(doomed.memories.cbegin(), doomed.memories.cend(),
                                                     [](const MessageSlot &slot) { return !slot.name.isEmpty(); }));
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Delete Set"), deleteQuestion(doomed.name, named),
                    QMessageBox::NoButton, this);
    ask.setObjectName(QStringLiteral("DeleteSetQuestion"));
    ask.setTextFormat(Qt::PlainText); // the set's name may come from the file
    QPushButton *yes = ask.addButton(QStringLiteral("&Delete"), QMessageBox::AcceptRole);
    ask.setDefaultButton(ask.addButton(QMessageBox::Cancel)); // Enter alone deletes nothing
    ask.exec();
    if (ask.clickedButton() != yes) {
        say(m_chooser, QStringLiteral("Set %1 kept").arg(doomed.name));
        return false;
    }
    const QString gone = doomed.name;
    m_setEdits << MessageEdit::remove(m_sets.sets[m_sets.active].name);
    m_origin.removeAt(m_sets.active);
    m_sets.sets.removeAt(m_sets.active);
    m_sets.active = 0;
    fillChooser();
    showRows();
    clearRefusals();
    say(m_chooser, QStringLiteral("Set %1 deleted; set %2 in use").arg(gone, m_sets.sets[0].name));
    return true;
}

// Every name refused is shown beside its field at once, and all are said together,
// so the operator mends them in one pass instead of one per OK.
void MessageNamesDialog::accept()
{
    QStringList refusals;
    QLineEdit *first = nullptr;
    for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
        QLineEdit *name = m_rows[static_cast<size_t>(memory)].name;
        const QString why = MessageRule::nameRefusal(name->text().trimmed());
        showRefusal(name, why);
        if (why.isEmpty())
            continue;
        refusals << QStringLiteral("Memory %1: %2").arg(memory).arg(why);
        if (!first)
            first = name;
    }
    if (!first) {
        QDialog::accept();
        return;
    }
    m_said = refusals.join(u'\n');
    m_problem->setText(m_said);
    m_problem->setVisible(true);
    first->setFocus();
    first->selectAll();
    say(first, refusals.size() == 1 ? m_said
                                    : QStringLiteral("%1 names refused.\n%2").arg(refusals.size()).arg(m_said));
}
