// Turns a dialog template into Qt widgets, the way a dialog manager does:
// dialog units become pixels through the base units of the template's font.
#pragma once

#include <QDialog>
#include <QRect>

#include "app/resources/DialogTemplate.h"

namespace marrowix {

// Base units of a dialog, as a dialog manager works them out for a dialog
// with a shell font: from the font actually in use, the average width of the
// 52 letters A-Z and a-z, rounded, and the font's height. A dialog unit is a
// quarter of the first across and an eighth of the second down.
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;

    static DialogUnits For(const QWidget& widget);  // from the widget's font
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
