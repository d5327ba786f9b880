// kvEditButtons: the buttons an editor shows at its sides, their collection, and the view state
// of one button computed for painting and hit testing.
#ifndef KV_EDIT_BUTTONS_H
#define KV_EDIT_BUTTONS_H

#include <windows.h>

#include <classlib/collection.h>
#include <classlib/events.h>
#include <classlib/geometry.h>
#include <classlib/graphics.h>

#include <cstdint>
#include <string>

#include "kvGraphics.h"

enum TkvEditButtonKind : std::uint8_t { bkEllipsis, bkDown, bkGlyph, bkText };

class TkvEditButtons;

class TkvEditButton : public TCollectionItem {
    CL_CLASS(TkvEditButton, TCollectionItem)

public:
    void Create(TCollection *collection) override;

    const std::wstring &Caption() const noexcept { return caption_; }
    void SetCaption(const std::wstring &value);
    // The caption without its accelerator marks.
    const std::wstring &VisibleCaption() const noexcept { return visibleCaption_; }
    bool Default() const noexcept { return default_; }
    // True first takes Default from every other button of the collection.
    void SetDefault(bool value);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    // Made empty on first read.
    TBitmap *Glyph();
    bool HasGlyph() const noexcept { return glyph_ != nullptr; }
    // Null frees the bitmap; a bitmap is copied.
    void SetGlyph(TBitmap *value);
    TkvEditButtonKind Kind() const noexcept { return kind_; }
    void SetKind(TkvEditButtonKind value);
    bool LeftAlignment() const noexcept { return leftAlignment_; }
    void SetLeftAlignment(bool value);
    bool Stretchable() const noexcept { return stretchable_; }
    void SetStretchable(bool value);
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool value);
    // 0: the width the painter gives the kind. Negative values are ignored.
    int Width() const noexcept { return width_; }
    void SetWidth(int value);
    TColor TextColor() const noexcept { return textColor_; }
    void SetTextColor(TColor value);

    void Assign(TPersistent *source) override;

protected:
    void Destroy() override;

private:
    friend class TkvEditButtons;
    void glyphChanged();

    std::wstring caption_;
    std::wstring visibleCaption_;
    bool default_ = false;
    bool enabled_ = true;
    TBitmap *glyph_ = nullptr;
    TkvEditButtonKind kind_ = bkDown;
    bool leftAlignment_ = false;
    bool stretchable_ = true;
    bool visible_ = true;
    int width_ = 0;
    TColor textColor_ = SystemColor(COLOR_BTNTEXT);
};

class TkvEditButtons : public TOwnedCollection {
    CL_CLASS(TkvEditButtons, TOwnedCollection)

public:
    // Items of TkvEditButton.
    void Create(TPersistent *owner) { inherited::Create(owner, TkvEditButton::ClassInfo()); }
    void Create(TPersistent *owner, TClass itemClass) override { inherited::Create(owner, itemClass); }

    TkvEditButton *Add() { return static_cast<TkvEditButton *>(inherited::Add()); }
    TkvEditButton *Items(int index) const { return static_cast<TkvEditButton *>(inherited::Items(index)); }
    int VisibleCount() const;

    // Run on every change the collection reports (the properties' buttons-changed operation).
    TEvent<void(TkvEditButtons *sender, TCollectionItem *item)> OnChange;

protected:
    void Update(TCollectionItem *item) override;
    void Added(TCollectionItem *item) override;
};

// What a button is drawn from, filled by the editor's view data.
struct TkvEditButtonViewInfoData {
    TRect ContentRect{};
    TkvEditButtonKind Kind = bkDown;
    bool NativeStyle = false;
    bool ComboBoxStyle = false; // drawn as a combo box's drop-down part when themed
    int State = 1;              // 0 disabled, 1 normal, 2 pressed, 3 hot
    int Style = 0;
    bool LeftAlignment = false;
    bool LeftNeighbour = false;
    bool RightNeighbour = false;
    TBitmap *Glyph = nullptr;
    std::wstring VisibleCaption;
    TColor TextColor = SystemColor(COLOR_BTNTEXT);
    bool HasOwnBackground = false;
    TColor BackgroundColor = clDefault;
    int Width = 0;
    bool IsPartiallyTransparent = false;
    int NativeState = 0;

    bool operator==(const TkvEditButtonViewInfoData &other) const;
};

class TkvEditButtonViewInfo : public TPersistent {
    CL_CLASS(TkvEditButtonViewInfo, TPersistent)

public:
    TRect Bounds{};
    int State = 1; // 0 disabled, 1 normal, 2 pressed, 3 hot
    TkvEditButtonKind Kind = bkDown;
    bool HasBackground = false;
    TkvEditButtonViewInfoData Data;
    int Index = -1;
    int ThemeState = 0;

    // Theme state, data, bounds, kind and state.
    void Assign(TPersistent *source) override;
    // A new region (the caller frees it): empty when nothing drawn differs from the older view,
    // else the bounds.
    TkvRegion *GetUpdateRegion(const TkvEditButtonViewInfo *old) const;
    // Invalidates the bounds moved by the offset in the window when the views differ; true then.
    bool Repaint(HWND window, const TkvEditButtonViewInfo *old, const TPoint &offset) const;

private:
    bool sameAs(const TkvEditButtonViewInfo *old) const;
};

#endif
