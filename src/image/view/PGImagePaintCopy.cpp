#include "image/view/PGImage.h"

#include "image/PGExceptions.h"
#include "image/PixelGraphic.h"
#include "image/view/CreatePaintPGThread.h"
#include "image/view/PaintClock.h"
#include "image/view/PaintCopyEvent.h"
#include "image/view/PaintProgressEvent.h"
#include "image/view/PicBox.h"

#include <QScreen>

namespace {

// A picture that cannot get its full size is made 1 x 1, so that a copy still arrives.
void SetSizeOrOnePixel(TPixelGraphic& picture, QSize size, TPGBitCount bitCount) {
    try {
        picture.SetSize(size.width(), size.height(), bitCount);
    } catch (const EPixelGraphic&) {
        picture.SetSize(1, 1, bitCount);
    }
}

} // namespace

TPGImage::TPaintCopyNeed TPGImage::PaintCopyNeed() const {
    const QSize box = FPicBox->size();
    TPaintCopyNeed need{};
    need.ScreenDepth = ScreenDepth();
    need.Stale = FPaintPixelGraphicStale ||
                 (FStretchMode != smFast && !FReduceOnLoad && box != FPaintPixelGraphicSize);
    if (!FPixelGraphic)
        return need;
    const int depth = need.ScreenDepth;
    const int bits = FPixelGraphic->BitCountNum();
    need.Needed = depth < bits && depth <= 8;
    need.Stretch =
        FStretchMode != smFast && box != QSize(FPixelGraphic->Width(), FPixelGraphic->Height());
    need.Needed = need.Needed || need.Stretch;
    if (bits <= 8 && depth <= 8) {
        const TPaletteIdent ident = FPixelGraphic->PaletteIdent();
        if (depth == 4)
            need.Needed = need.Needed || (ident != pSys16 && (!FReduceOnLoad || need.Stale));
        else if (!need.Needed)
            need.Needed = FPalette8BitSys8BitGraphic != pSource &&
                          FPalette8BitSys8BitGraphic != ident && (!FReduceOnLoad || need.Stale);
    }
    return need;
}

bool TPGImage::PreparePaintPixelGraphic() {
    const TPaintCopyNeed need = PaintCopyNeed();
    const bool keepOld = FKeepOldPaintPixelGraphic && FUseThread;
    if (FPaintPixelGraphic && (!need.Needed || (need.Stale && !keepOld))) {
        StopPaintThread();
        FPaintPixelGraphic.reset();
    }
    if (!need.Needed || (!need.Stale && (FPaintPixelGraphic || FPaintThread->Running())))
        return need.Needed;
    StartPaintCopy(need);
    return true;
}

void TPGImage::StartPaintCopy(const TPaintCopyNeed& need) {
    try {
        StopPaintThread();
        if (!(FKeepOldPaintPixelGraphic && FUseThread))
            FPaintPixelGraphic.reset();
        FClockStage = 1;
        FClockStageCount = 1;
        FClockPercent = 0;
        FPaintThread.reset();
        FPaintThread = std::make_unique<TCreatePaintPGThread>(
            this, FUseThread, [this](std::unique_ptr<TPixelGraphic> copy) {
                ReceivePaintPixelGraphic(std::move(copy));
            });
        TCreatePaintPGThread& thread = *FPaintThread;
        thread.SetSource(*FPixelGraphic);

        const QSize box = FPicBox->size();
        const int depth = need.ScreenDepth;
        const bool stretchFirst = FAllow24BitStretch && need.Stretch && depth == 8 &&
                                  FPalette8BitSys24BitGraphic == pOptimized252Sys16;
        if (stretchFirst) {
            auto intermediate = std::make_unique<TPixelGraphic>();
            SetSizeOrOnePixel(*intermediate, box, bc24Bit);
            intermediate->StretchMode = FStretchMode;
            thread.HookProgress(*intermediate);
            thread.SetStretchFirst(std::move(intermediate));
            ++FClockStageCount;
        }

        auto target = std::make_unique<TPixelGraphic>();
        thread.HookProgress(*target);
        const TPGBitCount format = depth <= 7 ? bc4Bit : depth > 8 ? bc24Bit : bc8Bit;
        const QSize size =
            FStretchMode != smFast ? box : QSize(FPixelGraphic->Width(), FPixelGraphic->Height());
        SetSizeOrOnePixel(*target, size, format);
        FPaintPixelGraphicSize = size;
        bool optimize = false;
        if (format == bc4Bit) {
            target->SetPaletteIdent(pSys16);
        } else if (format == bc8Bit) {
            const bool trueColour = stretchFirst || FPixelGraphic->BitCount() == bc24Bit;
            const TPaletteIdent palette =
                trueColour ? FPalette8BitSys24BitGraphic : FPalette8BitSys8BitGraphic;
            if (palette <= pSpecial252)
                target->SetPaletteIdent(palette);
            else if (trueColour || palette == pOptimized252Sys16)
                optimize = true;
            else
                target->CopyPalette(*FPixelGraphic);
        }
        if (optimize)
            ++FClockStageCount;
        target->StretchMode = FStretchMode;
        target->Dither = FDither;
        target->DitherErrorLimit = FDitherErrorLimit;
        target->DitherErrorLimitAuto = FDitherErrorLimitAuto;
        target->DitherErrorLimitSoft = FDitherErrorLimitSoft;
        target->SetRGBWeighting(FRGBWeighting);
        thread.SetTarget(std::move(target), optimize);

        FPaintPixelGraphicStale = false;
        if (FUseThread)
            thread.Resume();
        else
            thread.Run();
    } catch (...) {
        // Without a copy the view shows its frame and clocks until the next change.
    }
}

void TPGImage::StopPaintThread() {
    FPaintThread->Terminate();
    FPaintThread->WaitFor();
}

void TPGImage::DiscardPaintPixelGraphic() {
    if (FKeepOldPaintPixelGraphic && FUseThread)
        FPaintPixelGraphicStale = true;
    else
        FPaintPixelGraphic.reset();
}

void TPGImage::ReceivePaintPixelGraphic(std::unique_ptr<TPixelGraphic> copy) {
    if (FReduceOnLoad) {
        FPaintPixelGraphic.reset();
        FPixelGraphic = std::move(copy);
        ConnectProgressEvents(*FPixelGraphic);
        ConnectChangeEvent(*FPixelGraphic);
        // A smoothed copy has the paint box's size. The box stays where it is, for the copy
        // was made for it; positions in the picture now count the copy's pixels.
        FPictureWidth = FPixelGraphic->Width();
        FPictureHeight = FPixelGraphic->Height();
    } else {
        FPaintPixelGraphic = std::move(copy);
    }
    InvalidateView();
}

void TPGImage::customEvent(QEvent* event) {
    if (event->type() == TPaintCopyEvent::EventType) {
        auto& arrived = static_cast<TPaintCopyEvent&>(*event);
        std::unique_ptr<TPixelGraphic> copy;
        std::uint64_t build = 0;
        {
            const std::unique_lock<std::mutex> lock = TCreatePaintPGThread::LockHandover();
            copy = std::move(arrived.Copy);
            build = arrived.Build;
        }
        // The copy of a build that was stopped or replaced since is dropped unseen.
        if (build != FPaintThread->Build() || !FPaintThread->Running())
            return;
        FPaintThread->CopyTaken();
        ReceivePaintPixelGraphic(std::move(copy));
    } else if (event->type() == TPaintProgressEvent::EventType) {
        const auto& progress = static_cast<const TPaintProgressEvent&>(*event);
        std::uint64_t build = 0;
        int stage = 0;
        int percent = 0;
        {
            const std::unique_lock<std::mutex> lock = TCreatePaintPGThread::LockHandover();
            build = progress.Build;
            stage = progress.Stage;
            percent = progress.Percent;
        }
        if (build != FPaintThread->Build() || !FPaintThread->Running())
            return;
        FClockStage = stage;
        FClockPercent = percent;
        RepaintProgressClocks();
    } else {
        QScrollArea::customEvent(event);
    }
}

void TPGImage::RepaintProgressClocks() {
    // The clocks stand only where no picture is shown.
    if (!FProgressClockVisible || FPaintPixelGraphic)
        return;
    viewport()->repaint(ProgressClockRegion(FPicBox->geometry(), FProgress5Clocks));
}

std::shared_ptr<const TPGPalette> TPGImage::PaletteHandle() {
    TPixelGraphic* painted =
        PaintCopyNeed().Needed ? FPaintPixelGraphic.get() : FPixelGraphic.get();
    if (!painted)
        return nullptr;
    switch (painted->PaletteIdent()) {
    case pBlackWhite:
    case pSysGray4:
    case pSys16:
        return nullptr;
    default:
        return painted->PaletteHandle();
    }
}

int TPGImage::ScreenDepth() const {
    if (FScreenDepth > 0)
        return FScreenDepth;
    const QScreen* shown = screen();
    return shown ? shown->depth() : 24;
}

void TPGImage::SetScreenDepth(int bitsPerPixel) {
    if (bitsPerPixel == FScreenDepth)
        return;
    FScreenDepth = bitsPerPixel;
    DisplayModeChanged();
}

void TPGImage::DisplayModeChanged() {
    FPaintPixelGraphicStale = true;
    InvalidateView();
}
