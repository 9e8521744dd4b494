#pragma once

class QFileDialog;

namespace tolm {

// Gives the toolkit's own file dialog room for its detail columns: size, type and date take the width of what
// they show, and the dialog opens wide enough for them beside the names. The desktop's own dialog lays out its
// columns itself and is left alone.
void FitFileDialogColumns(QFileDialog& dialog);

}  // namespace tolm
