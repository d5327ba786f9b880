// kvButtons: the push button drawn by the look-and-feel painters.
//
// TkvButton is a system push button made owner-drawn: per-state colours, a glyph beside its
// caption, hot tracking, and two drop-down kinds that open a popup menu under the button (above
// it when there is no room below). A button whose look and feel resolves to the Office 2003
// style is drawn by the WinXP painter while the button theme is there, else by the Standard one.
// Glyph images live in image lists shared by every glyph of the same size.
#ifndef KV_BUTTONS_H
#define KV_BUTTONS_H

#include <windows.h>

#include <classlib/events.h>
#include <classlib/graphics.h>
#include <classlib/image_list.h>
#include <classlib/list.h>
#include <classlib/menus.h>
#include <classlib/persistent.h>
#include <classlib/sets.h>
#include <classlib/stdctrls.h>
#include <classlib/units.h>

#include <cstdint>
#include <vector>

#include "kvControlServices.h"
#include "kvGraphics.h"
#include "kvLookAndFeelPainters.h"
#include "kvLookAndFeels.h"

// Needs the look and feels, the painters, the control services and the paint utilities.
extern TUnit kvButtonsUnit;

// Posted to a button to drop its menu down, and when the menu closed again.
constexpr UINT KVM_DROPDOWNMENU = 0x812C;
constexpr UINT KVM_CLOSEUPMENU = 0x812D;

enum TkvButtonKind : std::uint8_t { kvbkStandard, kvbkDropDown, kvbkDropDownButton };
enum TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TkvCustomButton;

// One bit per button state.
using TkvButtonAssignedColors = TSet<TkvButtonState>;

class TkvButtonColors : public TPersistent {
    CL_CLASS(TkvButtonColors, TPersistent)

public:
    virtual void Create(TkvCustomButton *button);

    TColor Color(TkvButtonState state) const noexcept { return colors_[state]; }
    // clNone and clDefault reset the state's colour; the button repaints either way.
    void SetColor(TkvButtonState state, TColor value);
    TColor Default() const noexcept { return colors_[kvbsDefault]; }
    TColor Normal() const noexcept { return colors_[kvbsNormal]; }
    TColor Hot() const noexcept { return colors_[kvbsHot]; }
    TColor Pressed() const noexcept { return colors_[kvbsPressed]; }
    TColor Disabled() const noexcept { return colors_[kvbsDisabled]; }
    void SetDefault(TColor value) { SetColor(kvbsDefault, value); }
    void SetNormal(TColor value) { SetColor(kvbsNormal, value); }
    void SetHot(TColor value) { SetColor(kvbsHot, value); }
    void SetPressed(TColor value) { SetColor(kvbsPressed, value); }
    void SetDisabled(TColor value) { SetColor(kvbsDisabled, value); }
    TkvButtonAssignedColors AssignedColors() const noexcept { return assigned_; }
    // Only while designing: cleared bits reset their colours, bits of default colours drop.
    void SetAssignedColors(TkvButtonAssignedColors value);
    // Colours are stored only when assigned; the whole set only when not empty.
    bool IsColorStored(TkvButtonState state) const noexcept { return assigned_.Contains(state); }
    bool IsStored() const noexcept { return !assigned_.Empty(); }

    void Assign(TPersistent *source) override;

private:
    void changed();

    TkvCustomButton *button_ = nullptr;
    TColor colors_[5] = {clDefault, clDefault, clDefault, clDefault, clDefault};
    TkvButtonAssignedColors assigned_;
};

// An image list of one glyph size whose slots are lent out one by one.
class TkvGlyphList : public TCustomImageList {
    CL_CLASS(TkvGlyphList, TCustomImageList)

public:
    virtual void Create(int width, int height);
    // The slot's picture, transparent where the mask colour is (clDefault and clNone: the
    // picture's bottom-left pixel); -1 when the list refuses it.
    int AddGlyph(TBitmap *image, TColor maskColor);
    void DeleteGlyph(int index);
    int UsedCount() const noexcept { return usedCount_; }

private:
    int allocateIndex();

    std::vector<bool> used_;
    int usedCount_ = 0;
};

// The glyph lists of every size in use; one for the process, from the first glyph on.
class TkvGlyphCache : public TObject {
    CL_CLASS(TkvGlyphCache, TObject)

public:
    TkvGlyphList *GetList(int width, int height);
    // Frees the list when no glyph uses it any more.
    void ReturnList(TkvGlyphList *list);
    int Count() const noexcept { return lists_.Count(); }

protected:
    void Destroy() override;

private:
    TList<TkvGlyphList *> lists_;
};

// The cache while a glyph or a list of it exists.
TkvGlyphCache *GlyphCache() noexcept;

class TkvButtonGlyph : public TObject {
    CL_CLASS(TkvButtonGlyph, TObject)

public:
    virtual void Create();

    TBitmap *Glyph() const noexcept { return original_; }
    // Copies the bitmap (nil empties it); a strip of square images sets their number (below 5).
    void SetGlyph(TBitmap *value);
    int NumGlyphs() const noexcept { return numGlyphs_; }
    void SetNumGlyphs(int value);
    TColor TransparentColor() const noexcept { return transparentColor_; }
    void SetTransparentColor(TColor value) noexcept { transparentColor_ = value; }
    // The size of one image (0 x 0 without a bitmap).
    TSize ImageSize() const;
    // The image for the state, made on first use; -1 for an empty bitmap.
    virtual int CreateImage(TkvButtonState state);
    virtual TRect GetTextMargins() { return TRect{}; }
    void Draw(HDC dc, int x, int y, TkvButtonState state);
    TkvGlyphList *List() const noexcept { return list_; }
    // Which of the four images a state shows (0 up, 1 disabled, 2 down).
    int ImageIndexFor(TkvButtonState state) const noexcept;

    TNotifyEvent OnChange;

protected:
    void Destroy() override;

private:
    void glyphChanged();
    void releaseImages();

    TBitmap *original_ = nullptr;
    TkvGlyphList *list_ = nullptr;
    int indexes_[4] = {-1, -1, -1, -1};
    TColor transparentColor_ = clOlive;
    int numGlyphs_ = 1;
    bool updating_ = false;
};

using TkvButtonGlyphClass = TClass;
using TkvButtonDropDownMenuPopupEvent = TEvent<void(TObject *sender, TPopupMenu *&popupMenu, bool &handled)>;
using TkvButtonGetDrawParamsEvent = TEvent<void(TObject *sender, TkvButtonState state, TColor &color, TFont *font)>;

class TkvCustomButton : public TButton, public IkvMouseTrackingCaller {
    CL_CLASS(TkvCustomButton, TButton)

public:
    void Create(TComponent *owner) override;

    TkvButtonColors *Colors() const noexcept { return colors_; }
    void SetColors(TkvButtonColors *value) { colors_->Assign(value); }
    TBitmap *Glyph() const noexcept { return glyph_->Glyph(); }
    void SetGlyph(TBitmap *value);
    TkvButtonGlyph *ButtonGlyph() const noexcept { return glyph_; }
    int NumGlyphs() const noexcept { return glyph_->NumGlyphs(); }
    void SetNumGlyphs(int value);
    TkvButtonKind Kind() const noexcept { return kind_; }
    void SetKind(TkvButtonKind value);
    TButtonLayout Layout() const noexcept { return layout_; }
    void SetLayout(TButtonLayout value);
    int Margin() const noexcept { return margin_; }
    void SetMargin(int value);
    int Spacing() const noexcept { return spacing_; }
    void SetSpacing(int value);
    TPopupAlignment PopupAlignment() const noexcept { return popupAlignment_; }
    void SetPopupAlignment(TPopupAlignment value) noexcept { popupAlignment_ = value; }
    TkvLookAndFeel *LookAndFeel() const noexcept { return lookAndFeel_; }
    void SetLookAndFeel(TkvLookAndFeel *value) { lookAndFeel_->Assign(value); }
    TPopupMenu *DropDownMenu() const noexcept { return dropDownMenu_; }
    void SetDropDownMenu(TPopupMenu *value);
    // A TPopupMenu or a component offering IkvPopupMenu; anything else becomes nil.
    TComponent *PopupMenu() const noexcept { return popupMenu_; }
    void SetPopupMenu(TComponent *value);
    bool UseSystemPaint() const noexcept { return useSystemPaint_; }
    void SetUseSystemPaint(bool value) noexcept { useSystemPaint_ = value; }
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool value);

    // What the painting reads, for the look and the tests.
    bool MenuVisible() const noexcept { return menuVisible_; }
    bool MouseInControl() const noexcept { return mouseInControl_; }
    bool IsDefaultStyle() const noexcept { return isDefaultStyle_; }
    TkvButtonState CurrentState() const;
    bool IsHotTrack();
    // Where the glyph and the caption go in a client rectangle.
    void CalcLayout(const TRect &client, const TPoint &offset, TPoint &glyphPos, TRect &captionRect);
    // Sets the lock-down flag and posts the drop-down request.
    void DropDown();

    void Click() override;
    void Dispatch(TMessage &message) override;
    HPALETTE GetPalette() { return nullptr; }
    void GetPublishedProperties(TPropList &list) override;

    TkvButtonDropDownMenuPopupEvent OnDropDownMenuPopup;
    TkvButtonGetDrawParamsEvent OnGetDrawParams;

    // IkvMouseTrackingCaller
    void MouseTrackingCallerMouseLeave() override;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;
    void CreateParams(TCreateParams &params) override;
    void DestroyWnd() override;
    void KeyDown(WORD &key, TShiftState shift) override;
    void SetButtonStyle(bool isDefault) override;
    void DoContextPopup(TPoint mousePos, bool &handled) override;
    // An empty glyph takes the image of a custom action from its action list's images.
    void ActionChange(TObject *sender, bool checkDefaults) override;

    virtual bool DoDropDownMenuPopup(TPopupMenu *&menu);
    virtual bool DoShowPopupMenu(TComponent *menu, int x, int y);
    virtual TkvButtonGlyphClass GetGlyphClass();
    virtual TkvPainterClass GetPainterClass();
    virtual bool IsSystemPainted() { return false; }

private:
    void lookAndFeelChanged(TkvLookAndFeel *sender, TkvLookAndFeelValues values);
    void drawItem(const DRAWITEMSTRUCT &item);
    void paint(HDC dc, const TRect &client);
    void drawCaption(TkvCanvas *canvas, const TRect &rect, TkvButtonState state);
    void dropDownMenu();
    void closeUpMenu();
    bool inArrowPart(int x, int y);
    void mouseEnter();
    void mouseLeave();
    void updateMouseInControl();
    UINT captionFormat();

    TkvButtonGlyph *glyph_ = nullptr;
    TkvButtonColors *colors_ = nullptr;
    TkvLookAndFeel *lookAndFeel_ = nullptr;
    TBitmap *buffer_ = nullptr;
    TkvCanvas *canvas_ = nullptr;
    TkvButtonKind kind_ = kvbkStandard;
    TButtonLayout layout_ = blGlyphLeft;
    TPopupAlignment popupAlignment_ = paLeft;
    int spacing_ = 4;
    int margin_ = -1;
    TPopupMenu *dropDownMenu_ = nullptr;
    TComponent *popupMenu_ = nullptr;
    bool useSystemPaint_ = false;
    bool wordWrap_ = false;
    bool pressed_ = false;
    bool defaultLook_ = false;
    bool isDefaultStyle_ = false;
    bool lockDown_ = false;
    bool menuVisible_ = false;
    bool mouseInControl_ = false;
    bool mouseClick_ = false;
    bool handlingMouseUp_ = false;
    bool modifiedGlyph_ = false;
    bool focused_ = false;
};

class TkvButton : public TkvCustomButton {
    CL_CLASS(TkvButton, TkvCustomButton)
};

#endif
