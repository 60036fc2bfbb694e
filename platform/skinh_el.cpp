// SkinH_EL stand-in: attaching a skin file. Skins come with the window start-up
// work; until then attaching does nothing and reports failure.
#include "platform/stand_in.h"

STANDIN_EXPORT int SkinH_AttachRes(const void *, int, LPCSTR, int, int, int) { return 0; }
