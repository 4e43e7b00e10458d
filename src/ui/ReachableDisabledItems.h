#pragma once

#include <QProxyStyle>

// The window's style, except that a menu's arrow keys stop on greyed items too, so
// that a screen reader can say they are there and why they are greyed. Choosing a
// greyed item still does nothing.
class ReachableDisabledItems : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
