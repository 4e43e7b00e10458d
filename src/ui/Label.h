#pragma once

#include "VbColor.h"

#include <QLabel>
#include <QtGlobal>

#include <optional>

// A label as the window uses it: the caption is kept exactly as set (what it draws
// may differ, see visibleText), never read as markup, and its text colour is a
// 32-bit colour value that follows the desktop's scheme.
class Label : public QLabel {
    Q_OBJECT

public:
    explicit Label(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    quint32 foreColor() const { return m_foreColor; }
    void setForeColor(quint32 color);
    void setBackColor(quint32 color);

signals:
    // The caption has changed (not merely been set again).
    void captionChanged(const QString &caption);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    QString m_caption;
    quint32 m_foreColor = VbColor::kButtonText;
    std::optional<quint32> m_backColor;
};
