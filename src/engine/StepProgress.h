// The step progress bar as the install steps see it. The wizard's dialog
// implements it; the steps also accept a null pointer and then show nothing.
#pragma once

class CStepProgress {
public:
    virtual ~CStepProgress() = default;
    // Moves the bar to position (0 to 100).
    virtual void SetStepPos(int position) = 0;
    // Paints the bar now: the steps run on the UI thread between pump points.
    virtual void RepaintStep() = 0;
};

// Moves and repaints the bar when there is one.
inline void ShowStepPosition(CStepProgress* progress, int position)
{
    if (!progress)
        return;
    progress->SetStepPos(position);
    progress->RepaintStep();
}
