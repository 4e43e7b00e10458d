#pragma once

#include "panel/MessageEdit.h"
#include "panel/MessagesFile.h"

#include <QDialog>

#include <array>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

// "Message Names": the ten memories of one set, each a name and a length, and a set
// chooser with New, Rename and Delete. It works on a copy of the sets; after OK its
// owner takes edits(): only what the operator changed, so that a name given over the
// bus or in the file while the dialog was open is not undone. Every control has a label with an access key, so the dialog
// is used with the keyboard alone, and names are shown as plain text only. With a
// screen reader, the set chosen and each action done are said as they happen, a
// refusal is shown beside its field, given as the field's description and said, and
// Delete asks first.
class MessageNamesDialog : public QDialog {
    Q_OBJECT

public:
    // refusedLines: the messages file's lines that were not read, shown for the
    // operator to mend.
    MessageNamesDialog(const MessageSets &sets, const QStringList &refusedLines, QWidget *parent = nullptr);

    // The file's refused lines shown at most; a hostile file may hold a hundred
    // thousand, which would take the panel many seconds to lay out.
    static constexpr int kShownRefusedLines = 20;

    // The sets as the operator left them, the one shown active.
    MessageSets sets() const;
    // What the operator changed, in the order done: sets made, renamed and deleted,
    // then each name and length changed, then the set shown if it is another one.
    QList<MessageEdit> edits() const;

    QComboBox *setChooser() const { return m_chooser; }
    QLineEdit *setNameEdit() const { return m_setName; }
    QLineEdit *nameEdit(int memory) const { return m_rows[static_cast<size_t>(memory)].name; }
    QDoubleSpinBox *lengthEdit(int memory) const { return m_rows[static_cast<size_t>(memory)].length; }
    QString problem() const; // the refusals said last, empty when none are shown
    QString refusalBeside(const QLineEdit *field) const; // shown beside it, empty when none

    // The set-name field's actions, as its buttons do them. Delete asks first, naming
    // the set and how many named memories it holds; false when the operator declined.
    void newSet();
    void renameSet();
    bool deleteSet();
    static QString deleteQuestion(const QString &set, int namedMemories);

    void accept() override;

private:
    struct Row {
        QLineEdit *name = nullptr;
        QDoubleSpinBox *length = nullptr;
        QLabel *refusal = nullptr;
    };

    void keepRows(); // the rows into the working copy's active set
    void showRows(); // the active set into the rows
    void showSet(int index);
    void fillChooser();
    QLabel *besideLabel(); // a refusal's place beside a field
    QLabel *refusalLabelOf(const QLineEdit *field) const;
    void nameField(QLineEdit *field);
    void showRefusal(QLineEdit *field, const QString &why);
    void refuseSetName(const QString &why);
    void clearRefusals();
    void say(QWidget *about, const QString &words);

    const MessageSets m_original;
    MessageSets m_sets;
    QStringList m_origin; // each set's name when the dialog opened; empty for one made here
    QList<MessageEdit> m_setEdits;
    QComboBox *m_chooser = nullptr;
    QLineEdit *m_setName = nullptr;
    QLabel *m_setNameRefusal = nullptr;
    std::array<Row, MessageRule::kSlots> m_rows {};
    QLabel *m_problem = nullptr; // OK's refusals, all of them together
    QString m_said; // the refusals said last
};
