// kvEditViewInfo: an editor's computed picture (frame, colours, buttons and their states), which
// it paints, hit-tests and compares with an older picture to repaint only what changed.
#ifndef KV_EDIT_VIEW_INFO_H
#define KV_EDIT_VIEW_INFO_H

#include <windows.h>

#include <classlib/events.h>
#include <classlib/geometry.h>
#include <classlib/list.h>

#include <functional>

#include "kvContainer.h"
#include "kvEditButtonPainting.h"
#include "kvEditButtons.h"
#include "kvEditStyles.h"

class TkvCustomEditViewInfo;

// Drawing hooks: answering true means the hook drew the step itself.
using TkvEditDrawBackgroundEvent = std::function<bool(TkvCustomEditViewInfo *sender, TkvCanvas *canvas)>;
using TkvEditDrawButtonEvent = std::function<bool(TkvCustomEditViewInfo *sender, TkvCanvas *canvas, int index)>;
using TkvEditDrawButtonBackgroundEvent =
    std::function<bool(TkvCustomEditViewInfo *sender, TkvCanvas *canvas, const TRect &rect, int index)>;

class TkvCustomEditViewInfo : public TkvContainerViewInfo {
    CL_CLASS(TkvCustomEditViewInfo, TkvContainerViewInfo)

public:
    void Create() override;

    // The button view infos (owned), of ButtonViewInfoClass.
    int ButtonCount() const noexcept { return buttons_.Count(); }
    TkvEditButtonViewInfo *Button(int index) const { return buttons_.Get(index); }
    // Grows or shrinks the list; new entries are fresh button view infos.
    void SetButtonCount(int count);

    int PressedButton = -1;
    int HotButton = -1;
    // Where the inner edit stands (or the client rectangle without one).
    TRect InnerEditRect{};
    // The editor the picture belongs to (a TkvCustomEdit), none for in-place drawing.
    TWinControl *Edit = nullptr;
    // Set by the view data when a button is held by the mouse or the keyboard.
    bool ButtonHeld = false;
    // What the buttons are painted with.
    TkvEditButtonPaintContext ButtonPaintContext;
    // The editor's window draws its buttons itself (drawing them here is skipped).
    bool WindowDrawsButtons = false;
    // The area inside the border is filled too (no inner edit covers it).
    bool EraseBackground = true;

    TkvEditDrawBackgroundEvent OnDrawBackground;
    TkvEditDrawButtonEvent OnDrawButton;
    TkvEditDrawButtonBackgroundEvent OnDrawButtonBackground;

    // Background colour, border colour and style, container and native state, the buttons,
    // pressed and hot indices, then the container's copy.
    void Assign(TkvContainerViewInfo *source) override;
    // The container's region; then, with the same border, button count and native state, what
    // each button changed; otherwise the whole bounds. The caller frees it.
    TkvRegion *CreateInvalidRegion() override;
    TkvRegion *CreateInvalidRegion(TkvCustomEditViewInfo *old);
    void MoveBy(int dx, int dy) override;
    TkvContainerBorderStyle GetContainerBorderStyle() override { return BorderStyle; }
    void Draw(TkvCanvas *canvas) override;
    // The container's borders, and the one-pixel frame of the UltraFlat and Office 2003 styles.
    void DrawBorder(TkvCanvas *canvas, TRect r) override;

    // --- overridable, in slot order
    // The background, the frame and then the buttons.
    virtual void DrawBackground(TkvCanvas *canvas);
    virtual void DrawButtons(TkvCanvas *canvas);
    virtual void DrawButton(TkvCanvas *canvas, int index);
    virtual void DrawButtonBackground(TkvCanvas *canvas, const TRect &rect, int index);
    // The first button in the pressed state, or -1.
    virtual int GetFirstPressedButton() const;
    // Whether the point (control coordinates) is on any button.
    virtual bool IsPointOnButton(const TPoint &point) const;
    // The button under the point, or -1.
    virtual int ButtonAt(const TPoint &point) const;
    // Invalidates what changed against the older picture in the window; true when anything was.
    virtual bool Repaint(HWND window, TkvCustomEditViewInfo *old, bool stateMatters = true);
    virtual TClass ButtonViewInfoClass() { return TkvEditButtonViewInfo::ClassInfo(); }

protected:
    void Destroy() override;

private:
    TList<TkvEditButtonViewInfo *> buttons_;
    bool painting_ = false;
};

// Office 2003 button background colours by state (normal, hot, pressed): top and bottom.
void Office11ButtonGradientColors(int state, TColor &top, TColor &bottom);

#endif
