// Turns a dialog template into Qt widgets, the way a dialog manager does:
// dialog units become pixels through the base units of the template's font.
#pragma once

#include <QDialog>
#include <QRect>

#include "app/resources/DialogTemplate.h"

namespace marrowix {

// Base units of "MS Shell Dlg" 8 pt: 6 x 13 pixels at 96 DPI, scaled by the
// logical DPI of the widget's screen.
struct DialogUnits {
    double baseX = 6.0;
    double baseY = 13.0;

    static DialogUnits For(const QWidget& widget);
    int X(int units) const;
    int Y(int units) const;
    QRect Map(int x, int y, int cx, int cy) const;
};

// Gives `dialog` the template's caption, font, size and controls. Each
// control carries its identifier in the property "controlId".
void BuildDialogFromTemplate(QDialog& dialog, const res::DialogTemplate& dialogTemplate);

// The control with the given identifier, or null.
QWidget* FindControl(const QWidget& dialog, int id);

}  // namespace marrowix
