// Paints a window, and every frame, label, check box and option button on it, in the system's
// button-face colour. Text boxes, lists and push buttons keep their own colours.
#pragma once

class QWidget;

namespace larkspan {
void SetFaceColour(QWidget &window);
}
