// Draws one frame of the stand-in UI with GDI.
#ifndef ORVA_STANDINS_ENGINE_VIEW_PAINTER_H_
#define ORVA_STANDINS_ENGINE_VIEW_PAINTER_H_

#include <windows.h>

#include "standins/engine/view_state.h"

namespace standin {

// Paints |state| into the |width| x |height| area of |dc|.
void PaintView(HDC dc, int width, int height, const ViewState& state);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_VIEW_PAINTER_H_
