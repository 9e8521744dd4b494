#include "app/FileDialogColumns.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace tolm {
namespace {

// Room for the names beside the other three columns at the window's usual font.
constexpr QSize kRoomy(820, 480);

}  // namespace

void FitFileDialogColumns(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (view == nullptr) return;
    // Size, type and date follow what the shown files hold (the toolkit measures the rows in view only); the
    // names take the rest.
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    QSize size = dialog.size().expandedTo(kRoomy);
    if (const QScreen* screen = dialog.screen()) size = size.boundedTo(screen->availableGeometry().size());
    dialog.resize(size);
}

}  // namespace tolm
