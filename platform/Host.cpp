#include "platform/Host.h"

#include "platform/FreeHandPicker.h"

namespace tolm {

void Host::RunFreeHandPicker(FreeHandPicker& picker, const Bitmap&) {
    picker.SetModalResult(FreeHandPicker::mrCancel);
}

}  // namespace tolm
