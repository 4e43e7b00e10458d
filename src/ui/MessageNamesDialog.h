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
// is used with the keyboard alone, and names are shown as plain text only.
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
    QString problem() const; // the refusal shown last, empty when none

    // The set-name field's actions, as its buttons do them.
    void newSet();
    void renameSet();
    void deleteSet();

    void accept() override;

private:
    struct Row {
        QLineEdit *name = nullptr;
        QDoubleSpinBox *length = nullptr;
    };

    void keepRows(); // the rows into the working copy's active set
    void showRows(); // the active set into the rows
    void showSet(int index);
    void fillChooser();
    void tell(const QString &problem);

    const MessageSets m_original;
    MessageSets m_sets;
    QStringList m_origin; // each set's name when the dialog opened; empty for one made here
    QList<MessageEdit> m_setEdits;
    QComboBox *m_chooser = nullptr;
    QLineEdit *m_setName = nullptr;
    std::array<Row, MessageRule::kSlots> m_rows {};
    QLabel *m_problem = nullptr;
};
