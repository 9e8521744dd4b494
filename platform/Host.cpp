#include "platform/Host.h"

#include "selection/FreeHandWnd.h"

namespace tolm {

void Host::RunFreeHandPicker(TFreeHandWindow& picker, const Bitmap&) { picker.SetModalResult(TFreeHandWindow::mrCancel); }

}  // namespace tolm
