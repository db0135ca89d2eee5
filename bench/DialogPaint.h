// What the viewer's benches share: the dialog painted with everything that
// was queued for it handled first.
#pragma once

#include <QApplication>

#include "app/MainDialog.h"

namespace marrowix::bench {

inline void Paint(CMarrowix& dialog) {
    QApplication::processEvents();
    dialog.repaint();
    QApplication::processEvents();
}

}  // namespace marrowix::bench
