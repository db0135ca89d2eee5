#include "app/DialogBuilder.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>
#include <cmath>

#include "app/resources/WindowStyles.h"

namespace marrowix {

using namespace res;

DialogUnits DialogUnits::For(const QWidget& widget) {
    const QFontMetrics metrics(widget.font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {std::max(1, (letters / 26 + 1) / 2), std::max(1, metrics.height())};
}

int DialogUnits::X(int units) const {
    return static_cast<int>(std::lround(units * baseX / 4.0));
}
int DialogUnits::Y(int units) const {
    return static_cast<int>(std::lround(units * baseY / 8.0));
}

QRect DialogUnits::Map(int x, int y, int cx, int cy) const {
    return QRect(X(x), Y(y), X(cx), Y(cy));
}

namespace {

QWidget* CreateControl(QDialog& dialog, const ControlTemplate& c) {
    const QString text = QString::fromUtf16(c.text);
    const QString windowClass = QString::fromLatin1(c.windowClass);
    if (windowClass == QLatin1String("button")) {
        if ((c.style & BS_TYPEMASK) == BS_GROUPBOX) {
            return new QGroupBox(text, &dialog);
        }
        // As in a dialog manager, a push button with focus takes Enter; with
        // the focus elsewhere Enter ends the dialog.
        auto* button = new QPushButton(text, &dialog);
        button->setAutoDefault(true);
        return button;
    }
    if (windowClass == QLatin1String("edit")) {
        auto* edit = new QLineEdit(text, &dialog);
        edit->setFrame((c.style & WS_BORDER) != 0);
        return edit;
    }
    if (windowClass == QLatin1String("SysTreeView32")) {
        auto* tree = new QTreeView(&dialog);
        tree->setHeaderHidden(true);
        tree->setUniformRowHeights(true);
        tree->setRootIsDecorated((c.style & TVS_LINESATROOT) != 0);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setHorizontalScrollBarPolicy((c.style & WS_HSCROLL) != 0 ? Qt::ScrollBarAsNeeded
                                                                       : Qt::ScrollBarAlwaysOff);
        if ((c.style & WS_HSCROLL) != 0) {
            // Long names scroll rather than being cut.
            tree->header()->setStretchLastSection(false);
            tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        }
        tree->setFrameShape((c.style & WS_BORDER) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
        return tree;
    }
    // "static": a bitmap control or a line of text.
    auto* label = new QLabel(&dialog);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if ((c.style & SS_TYPEMASK) != SS_BITMAP) {
        label->setText(text);
        label->setTextFormat(Qt::PlainText);
    }
    return label;
}

}  // namespace

void BuildDialogFromTemplate(QDialog& dialog, const DialogTemplate& t) {
    dialog.setWindowTitle(QString::fromUtf16(t.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((t.style & WS_CAPTION) != 0) {
        flags |= Qt::WindowTitleHint;
    }
    if ((t.style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((t.style & WS_MAXIMIZEBOX) != 0) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    dialog.setWindowFlags(flags);

    QFont font;
    font.setFamilies(
        {QString::fromUtf16(t.fontFace), QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(t.fontPointSize);
    font.setWeight(static_cast<QFont::Weight>(t.fontWeight));
    dialog.setFont(font);

    const DialogUnits units = DialogUnits::For(dialog);
    dialog.resize(units.X(t.cx), units.Y(t.cy));
    if ((t.style & WS_THICKFRAME) == 0) {
        dialog.setFixedSize(dialog.size());
    }

    for (const ControlTemplate& c : t.controls) {
        QWidget* control = CreateControl(dialog, c);
        control->setProperty("controlId", c.id);
        control->setGeometry(units.Map(c.x, c.y, c.cx, c.cy));
        control->setEnabled((c.style & WS_DISABLED) == 0);
        control->setFocusPolicy((c.style & WS_TABSTOP) != 0 ? Qt::StrongFocus : Qt::NoFocus);
        control->setVisible((c.style & WS_VISIBLE) != 0);
        if (qobject_cast<QGroupBox*>(control) != nullptr) {
            control->lower();  // a frame around the controls, drawn beneath them
        }
    }
}

QWidget* FindControl(const QWidget& dialog, int id) {
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant value = child->property("controlId");
        if (value.isValid() && value.toInt() == id) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace marrowix
