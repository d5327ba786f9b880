// kvEditFramePainting: an editor's background and frame, drawn from its view info, and the two
// small rules of the frame that the editors' sizes follow.
#ifndef KV_EDIT_FRAME_PAINTING_H
#define KV_EDIT_FRAME_PAINTING_H

#include "kvEditViewData.h"
#include "kvEditViewInfo.h"

class TkvCustomEditProperties;

// The background, the border by style (or the themed edit frame) and then the buttons. The
// buttons' places are kept out of the background unless the first button is a partially
// transparent themed one. With erase the area inside the border is filled; without, only the
// band an inner edit does not cover.
void DrawEditBackground(TkvCanvas *canvas, TkvCustomEditViewInfo *viewInfo, bool erase);

// 1 for an in-place editor whose properties have buttons, else 0.
int GetNativeTextEditHeightCorrection(TkvCustomEditProperties *properties, bool inPlace);

// The style's shadow, unless the style's look and feel paints natively.
bool EditUsesShadow(TkvCustomEditViewData *viewData);

#endif
