#pragma once

#include "engine/ViewFit.h"
#include "image/view/PGImage.h"

#include <memory>

// The image view of a document window: dark purple around a centred picture at its natural
// size, so that paint-box positions are picture pixels.
class TFractalView : public TPGImage {
    Q_OBJECT

public:
    explicit TFractalView(QWidget* parent = nullptr);

    TPixelRect SelectionPixels() const;
    void SetSelectionPixels(const TPixelRect& rect);
    // Shows the picture at once, blank as it may be.
    void ShowPicture(std::unique_ptr<TPixelGraphic> picture);
    // In rectangle mode the mouse draws, moves and resizes a selection; otherwise it only clicks.
    void ApplyRectangleMode(bool rectangleMode);
    // The largest the automatic size may make the view: the screen less the window's frame.
    void LimitAutoSize(QSize frame);
};
