#include "skin/uSkinCtrls.h"

namespace kq {

bool skin_form_background(TForm*, TBitmap32*&, int&, int&) {
    return false;
}

} // namespace kq
