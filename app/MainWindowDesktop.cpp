#include <QComboBox>
#include <QStandardItemModel>

#include "app/MainWindow.h"

namespace tolm {

void TfrmMain::ApplyDesktopAbilities() {
    auto* items = qobject_cast<QStandardItemModel*>(RegSelect->model());
    QStringList hints;
    for (int i = 0; items && i < RegSelect->count(); ++i) {
        const QString hint = QString::fromStdString(RegionUnavailableHint(i, desktop_));
        if (hint.isEmpty()) continue;
        QStandardItem* item = items->item(i);
        item->setEnabled(false);
        item->setToolTip(hint);
        hints << item->text() + QStringLiteral(": ") + hint;
    }
    RegSelect->setToolTip(hints.join(QLatin1Char('\n')));
    // Before the handlers are connected: the first apply-all takes it.
    RegSelect->setCurrentIndex(FirstRegionIndex(desktop_));
}

}  // namespace tolm
