// kvButtons: the owner-drawn push button, its colours and its glyph images.
#include "kvButtons.h"

#include <windowsx.h>

#include <algorithm>

#include <classlib/actnlist.h>
#include <classlib/forms.h>
#include <classlib/typinfo.h>

#include "kvControls.h"
#include "kvEditPaintUtils.h"
#include "ztThemeManager.h"
#include "ztUxTheme.h"

namespace {

constinit TkvGlyphCache *glyphCache = nullptr;
constinit int glyphCount = 0;

// The arrow part of a drop-down button, and what the face gives up for it.
constexpr int arrowPartWidth = 15;
constexpr int faceArrowCut = 13;
// Paints the brush where the monochrome source, turned into text black and background white, is white.
constexpr DWORD ropBrushThroughBlack = 0x00E20746;

void startButtons() {}
void stopButtons() {}

void freeCacheIfUnused() {
    if (glyphCache != nullptr && glyphCount == 0 && glyphCache->Count() == 0) {
        TkvGlyphCache *cache = glyphCache;
        glyphCache = nullptr;
        Free(cache);
    }
}

// A monochrome mask of the bitmap part: set (white) where the pixel has the colour, or where it
// has not.
HBITMAP makeMask(HDC source, int x, int y, int width, int height, COLORREF color, bool setWhereColor) {
    HDC maskDC = CreateCompatibleDC(source);
    HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(maskDC, mask);
    COLORREF oldBk = SetBkColor(source, color);
    BitBlt(maskDC, 0, 0, width, height, source, x, y, setWhereColor ? SRCCOPY : NOTSRCCOPY);
    SetBkColor(source, oldBk);
    SelectObject(maskDC, old);
    DeleteDC(maskDC);
    return mask;
}

// Paints the colour into the target wherever the mask is set.
void paintThroughMask(HDC target, int x, int y, int width, int height, HBITMAP mask, TColor color) {
    HDC maskDC = CreateCompatibleDC(target);
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    HGDIOBJ oldBrush = SelectObject(target, brush);
    COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
    COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
    BitBlt(target, x, y, width, height, maskDC, 0, 0, ropBrushThroughBlack);
    SetTextColor(target, oldText);
    SetBkColor(target, oldBk);
    SelectObject(target, oldBrush);
    DeleteObject(brush);
    SelectObject(maskDC, oldMask);
    DeleteDC(maskDC);
}

bool isDesigning(const TComponent *component) { return component->ComponentState().Contains(csDesigning); }
bool isDestroying(const TComponent *component) { return component->ComponentState().Contains(csDestroying); }

} // namespace

constinit TUnit kvButtonsUnit{L"kvButtons",
                              startButtons,
                              stopButtons,
                              {&kvControlsUnit, &kvLookAndFeelsUnit, &kvLookAndFeelPaintersUnit, &ztThemeManagerUnit,
                               &kvEditPaintUtilsUnit}};

// --- colours ---

void TkvButtonColors::Create(TkvCustomButton *button) {
    inherited::Create();
    button_ = button;
}

void TkvButtonColors::changed() {
    if (button_ != nullptr)
        button_->Invalidate();
}

void TkvButtonColors::SetColor(TkvButtonState state, TColor value) {
    if (state > kvbsDisabled)
        return;
    if (value == clNone || value == clDefault) {
        colors_[state] = clDefault;
        assigned_.Exclude(state);
    } else if (colors_[state] != value) {
        colors_[state] = value;
        assigned_.Include(state);
    }
    changed();
}

void TkvButtonColors::SetAssignedColors(TkvButtonAssignedColors value) {
    if (button_ == nullptr || !isDesigning(button_))
        return;
    for (int i = kvbsDefault; i <= kvbsDisabled; ++i) {
        auto state = static_cast<TkvButtonState>(i);
        if (!value.Contains(state))
            colors_[i] = clDefault;
        else if (colors_[i] == clDefault)
            value.Exclude(state);
    }
    assigned_ = value;
    changed();
}

void TkvButtonColors::Assign(TPersistent *source) {
    if (auto *other = dynamic_cast<TkvButtonColors *>(source)) {
        std::copy(std::begin(other->colors_), std::end(other->colors_), std::begin(colors_));
        assigned_ = other->assigned_;
        changed();
        return;
    }
    inherited::Assign(source);
}

// --- glyph lists and their cache ---

void TkvGlyphList::Create(int width, int height) {
    inherited::Create(nullptr);
    SetWidth(std::max(1, width));
    SetHeight(std::max(1, height));
}

int TkvGlyphList::allocateIndex() {
    for (std::size_t i = 0; i < used_.size(); ++i)
        if (!used_[i]) {
            used_[i] = true;
            return static_cast<int>(i);
        }
    int index = static_cast<int>(used_.size());
    if (!ImageList_SetImageCount(GetHandle(), static_cast<UINT>(index + 1)))
        return -1;
    used_.push_back(true);
    return index;
}

int TkvGlyphList::AddGlyph(TBitmap *image, TColor maskColor) {
    if (image == nullptr || image->Empty())
        return -1;
    int index = allocateIndex();
    if (index < 0)
        return -1;
    const int width = GetWidth();
    const int height = GetHeight();
    HDC source = image->GetCanvas()->GetHandle();
    COLORREF transparent = (maskColor == clDefault || maskColor == clNone)
                               ? GetPixel(source, 0, image->GetHeight() - 1)
                               : ColorToRGB(maskColor);
    // White where transparent, as the list wants its masks.
    HBITMAP mask = makeMask(source, 0, 0, width, height, transparent, true);
    TOwned<TBitmap> picture(New<TBitmap>());
    picture->SetSize(width, height);
    BitBlt(picture->GetCanvas()->GetHandle(), 0, 0, width, height, source, 0, 0, SRCCOPY);
    HBITMAP pictureHandle = picture->GetHandle();
    BOOL replaced = ImageList_Replace(GetHandle(), index, pictureHandle, mask);
    DeleteObject(mask);
    if (!replaced) {
        used_[index] = false;
        return -1;
    }
    ++usedCount_;
    return index;
}

void TkvGlyphList::DeleteGlyph(int index) {
    if (index < 0 || index >= static_cast<int>(used_.size()) || !used_[index])
        return;
    used_[index] = false;
    --usedCount_;
}

TkvGlyphList *TkvGlyphCache::GetList(int width, int height) {
    for (int i = lists_.Count() - 1; i >= 0; --i) {
        TkvGlyphList *list = lists_.Get(i);
        if (list->GetWidth() == width && list->GetHeight() == height)
            return list;
    }
    TkvGlyphList *list = New<TkvGlyphList>(width, height);
    lists_.Add(list);
    return list;
}

void TkvGlyphCache::ReturnList(TkvGlyphList *list) {
    if (list == nullptr || list->UsedCount() != 0)
        return;
    lists_.Remove(list);
    ::Free(list);
}

void TkvGlyphCache::Destroy() {
    for (int i = lists_.Count() - 1; i >= 0; --i)
        ::Free(lists_.Get(i));
    lists_.Clear();
    inherited::Destroy();
}

TkvGlyphCache *GlyphCache() noexcept { return glyphCache; }

// --- glyph ---

void TkvButtonGlyph::Create() {
    inherited::Create();
    if (glyphCache == nullptr)
        glyphCache = New<TkvGlyphCache>();
    ++glyphCount;
    original_ = New<TBitmap>();
    original_->OnChange = [this](TObject *) { glyphChanged(); };
}

void TkvButtonGlyph::Destroy() {
    if (original_ != nullptr) {
        original_->OnChange = nullptr;
        releaseImages();
        FreeAndNil(original_);
        --glyphCount;
    }
    freeCacheIfUnused();
    inherited::Destroy();
}

void TkvButtonGlyph::releaseImages() {
    if (list_ != nullptr) {
        for (int &index : indexes_) {
            list_->DeleteGlyph(index);
            index = -1;
        }
        TkvGlyphList *list = list_;
        list_ = nullptr;
        if (glyphCache != nullptr)
            glyphCache->ReturnList(list);
    }
    std::fill(std::begin(indexes_), std::end(indexes_), -1);
}

void TkvButtonGlyph::glyphChanged() {
    if (updating_)
        return;
    releaseImages();
    if (OnChange)
        OnChange(this);
}

void TkvButtonGlyph::SetGlyph(TBitmap *value) {
    releaseImages();
    updating_ = true;
    if (value == nullptr || value->Empty())
        original_->SetSize(0, 0);
    else
        original_->Assign(value);
    updating_ = false;
    int width = original_->GetWidth();
    int height = original_->GetHeight();
    if (height > 0 && width % height == 0) {
        int count = width / height;
        numGlyphs_ = count < 5 ? std::max(1, count) : 1;
    }
    glyphChanged();
}

void TkvButtonGlyph::SetNumGlyphs(int value) {
    if (value == 0 || value == numGlyphs_)
        return;
    releaseImages();
    numGlyphs_ = std::clamp(value, 1, 4);
    glyphChanged();
}

TSize TkvButtonGlyph::ImageSize() const {
    if (original_ == nullptr || original_->Empty())
        return TSize{0, 0};
    return TSize{original_->GetWidth() / numGlyphs_, original_->GetHeight()};
}

int TkvButtonGlyph::ImageIndexFor(TkvButtonState state) const noexcept {
    switch (state) {
    case kvbsPressed:
        return numGlyphs_ < 3 ? 0 : 2;
    case kvbsDisabled:
        return 1;
    default:
        return 0;
    }
}

int TkvButtonGlyph::CreateImage(TkvButtonState state) {
    const int image = ImageIndexFor(state);
    if (indexes_[image] != -1)
        return indexes_[image];
    TSize size = ImageSize();
    if (size.cx <= 0 || size.cy <= 0)
        return -1;
    if (list_ == nullptr)
        list_ = glyphCache->GetList(size.cx, size.cy);
    TOwned<TBitmap> work(New<TBitmap>());
    work->SetSize(size.cx, size.cy);
    HDC workDC = work->GetCanvas()->GetHandle();
    RECT all{0, 0, size.cx, size.cy};
    FillRect(workDC, &all, CachedSolidBrush(clBtnFace));
    HDC source = original_->GetCanvas()->GetHandle();
    const int part = image < numGlyphs_ ? image : 0;
    const int sourceX = part * size.cx;
    // A bitmap with a fixed transparent colour is masked by the glyph's; otherwise the list takes
    // the image's corner pixel.
    const bool fixed = original_->TransparentMode() == tmFixed;
    const TColor imageMask = fixed ? transparentColor_ : clDefault;
    int index;
    if (image == 1 && numGlyphs_ < 2) {
        // Embossed from the up image's shape, as the up image is masked.
        const COLORREF ground = fixed ? ColorToRGB(transparentColor_) : GetPixel(source, 0, size.cy - 1);
        HBITMAP mask = makeMask(source, 0, 0, size.cx, size.cy, ground, false);
        paintThroughMask(workDC, 1, 1, size.cx, size.cy, mask, clBtnHighlight);
        paintThroughMask(workDC, 0, 0, size.cx, size.cy, mask, clBtnShadow);
        DeleteObject(mask);
        index = list_->AddGlyph(work.get(), clDefault);
    } else if (image == 1) {
        BitBlt(workDC, 0, 0, size.cx, size.cy, source, sourceX, 0, SRCCOPY);
        const struct {
            COLORREF from;
            TColor to;
        } recolours[] = {{RGB(255, 255, 255), clBtnHighlight},
                         {RGB(128, 128, 128), clBtnShadow},
                         {ColorToRGB(transparentColor_), clBtnFace}};
        for (const auto &r : recolours) {
            HBITMAP mask = makeMask(source, sourceX, 0, size.cx, size.cy, r.from, true);
            paintThroughMask(workDC, 0, 0, size.cx, size.cy, mask, r.to);
            DeleteObject(mask);
        }
        index = list_->AddGlyph(work.get(), clDefault);
    } else {
        BitBlt(workDC, 0, 0, size.cx, size.cy, source, sourceX, 0, SRCCOPY);
        index = list_->AddGlyph(work.get(), imageMask);
    }
    indexes_[image] = index;
    return index;
}

void TkvButtonGlyph::Draw(HDC dc, int x, int y, TkvButtonState state) {
    int index = CreateImage(state);
    if (index < 0 || list_ == nullptr)
        return;
    ImageList_DrawEx(list_->GetHandle(), index, dc, x, y, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
}

// --- button ---

void TkvCustomButton::Create(TComponent *owner) {
    inherited::Create(owner);
    controlStyle_.Include(csOpaque);
    controlStyle_.Include(csReflector);
    glyph_ = NewOf<TkvButtonGlyph>(GetGlyphClass());
    glyph_->OnChange = [this](TObject *) { Invalidate(); };
    colors_ = New<TkvButtonColors>(this);
    buffer_ = New<TBitmap>();
    canvas_ = New<TkvCanvas>(buffer_->GetCanvas());
    lookAndFeel_ = New<TkvLookAndFeel>(static_cast<TPersistent *>(this));
    lookAndFeel_->OnChanged = [this](TkvLookAndFeel *sender, TkvLookAndFeelValues values) {
        lookAndFeelChanged(sender, values);
    };
}

void TkvCustomButton::Destroy() {
    // The tracking timer must not call into a button that is gone.
    EndMouseTracking(this);
    if (lookAndFeel_ != nullptr)
        lookAndFeel_->OnChanged = nullptr;
    FreeAndNil(lookAndFeel_);
    FreeAndNil(canvas_);
    FreeAndNil(buffer_);
    FreeAndNil(colors_);
    FreeAndNil(glyph_);
    inherited::Destroy();
    // Messages of the window's destruction may have started tracking again.
    EndMouseTracking(this);
}

void TkvCustomButton::lookAndFeelChanged(TkvLookAndFeel *, TkvLookAndFeelValues) {
    if (HandleAllocated())
        RecreateWnd();
}

void TkvCustomButton::Notification(TComponent *component, TOperation operation) {
    inherited::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == dropDownMenu_)
        dropDownMenu_ = nullptr;
    if (component == popupMenu_)
        popupMenu_ = nullptr;
}

void TkvCustomButton::CreateParams(TCreateParams &params) {
    inherited::CreateParams(params);
    params.Style = (params.Style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TkvCustomButton::DestroyWnd() {
    // A close-up still queued would reach a window that is gone.
    MSG pending;
    if (HandleAllocated() && PeekMessageW(&pending, handle_, KVM_CLOSEUPMENU, KVM_CLOSEUPMENU, PM_REMOVE))
        closeUpMenu();
    EndMouseTracking(this);
    mouseInControl_ = false;
    inherited::DestroyWnd();
}

void TkvCustomButton::SetGlyph(TBitmap *value) {
    glyph_->SetGlyph(value);
    modifiedGlyph_ = true;
    Invalidate();
}

void TkvCustomButton::SetNumGlyphs(int value) {
    value = std::min(value, 4);
    if (value > 0 && value != glyph_->NumGlyphs()) {
        glyph_->SetNumGlyphs(value);
        Invalidate();
    }
}

void TkvCustomButton::SetKind(TkvButtonKind value) {
    if (kind_ == value)
        return;
    kind_ = value;
    if (HandleAllocated())
        RecreateWnd();
}

void TkvCustomButton::SetLayout(TButtonLayout value) {
    if (layout_ != value) {
        layout_ = value;
        Invalidate();
    }
}

void TkvCustomButton::SetMargin(int value) {
    if (value >= -1 && value != margin_) {
        margin_ = value;
        Invalidate();
    }
}

void TkvCustomButton::SetSpacing(int value) {
    if (value != spacing_) {
        spacing_ = value;
        Invalidate();
    }
}

void TkvCustomButton::SetWordWrap(bool value) {
    if (value != wordWrap_) {
        wordWrap_ = value;
        Invalidate();
    }
}

void TkvCustomButton::SetDropDownMenu(TPopupMenu *value) { SetFreeNotifiedReference(this, dropDownMenu_, value); }

void TkvCustomButton::SetPopupMenu(TComponent *value) { SetPopupMenuReference(this, popupMenu_, value); }

TkvPainterClass TkvCustomButton::GetPainterClass() {
    TkvPainterClass painter = lookAndFeel_->GetPainterClass(totButton);
    if (painter->GetPainterStyle() == kvpsOffice11)
        painter = IsThemeAvailable(totButton) ? PainterOf<TkvWinXPLookAndFeelPainter>()
                                               : PainterOf<TkvStandardLookAndFeelPainter>();
    return painter;
}

TkvButtonGlyphClass TkvCustomButton::GetGlyphClass() { return TkvButtonGlyph::ClassInfo(); }

bool TkvCustomButton::IsHotTrack() { return !IsSystemPainted() && GetPainterClass()->TracksButtonHover() && Enabled(); }

TkvButtonState TkvCustomButton::CurrentState() const {
    bool pressed = pressed_;
    if (kind_ == kvbkDropDown)
        pressed = menuVisible_;
    else if (kind_ == kvbkDropDownButton && lockDown_)
        pressed = false;
    if (!Enabled())
        return kvbsDisabled;
    if (pressed || menuVisible_)
        return kvbsPressed;
    if (mouseInControl_)
        return kvbsHot;
    if (defaultLook_ || isDefaultStyle_)
        return kvbsDefault;
    return kvbsNormal;
}

void TkvCustomButton::ActionChange(TObject *sender, bool checkDefaults) {
    inherited::ActionChange(sender, checkDefaults);
    auto *action = dynamic_cast<TCustomAction *>(sender);
    if (action == nullptr || !glyph_->Glyph()->Empty() || action->ActionList() == nullptr)
        return;
    TCustomImageList *images = action->ActionList()->Images();
    const int index = action->ImageIndex();
    if (images == nullptr || index < 0 || index >= images->GetCount())
        return;
    TOwned<TBitmap> image(New<TBitmap>());
    image->SetSize(images->GetWidth(), images->GetHeight());
    TCanvas *canvas = image->GetCanvas();
    canvas->GetBrush()->SetColor(clFuchsia);
    canvas->FillRect(TRect{0, 0, images->GetWidth(), images->GetHeight()});
    images->Draw(canvas, 0, 0, index);
    glyph_->SetGlyph(image.get());
    Invalidate();
}

void TkvCustomButton::GetPublishedProperties(TPropList &list) {
    inherited::GetPublishedProperties(list);
    list.Enum(
        L"Kind", {L"kvbkStandard", L"kvbkDropDown", L"kvbkDropDownButton"}, [this] { return kind_; },
        [this](std::int64_t v) { SetKind(static_cast<TkvButtonKind>(v)); }, kvbkStandard);
    list.Enum(
        L"Layout", {L"blGlyphLeft", L"blGlyphRight", L"blGlyphTop", L"blGlyphBottom"}, [this] { return layout_; },
        [this](std::int64_t v) { SetLayout(static_cast<TButtonLayout>(v)); }, blGlyphLeft);
    list.Integer(
        L"Margin", [this] { return margin_; }, [this](std::int64_t v) { SetMargin(static_cast<int>(v)); }, -1);
    list.Integer(
        L"Spacing", [this] { return spacing_; }, [this](std::int64_t v) { SetSpacing(static_cast<int>(v)); }, 4);
    list.Integer(
        L"NumGlyphs", [this] { return glyph_->NumGlyphs(); },
        [this](std::int64_t v) { SetNumGlyphs(static_cast<int>(v)); }, 1);
    list.Boolean(
        L"UseSystemPaint", [this] { return useSystemPaint_; }, [this](bool v) { SetUseSystemPaint(v); }, false);
}

void TkvCustomButton::SetButtonStyle(bool isDefault) {
    if (isDefault != isDefaultStyle_) {
        isDefaultStyle_ = isDefault;
        Invalidate();
    }
}

UINT TkvCustomButton::captionFormat() {
    TSize glyphSize = glyph_->ImageSize();
    bool wrap = wordWrap_ && (glyphSize.cx == 0 || glyphSize.cy == 0);
    return wrap ? DT_WORDBREAK : DT_SINGLELINE;
}

void TkvCustomButton::CalcLayout(const TRect &client, const TPoint &offset, TPoint &glyphPos, TRect &captionRect) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    TButtonLayout layout = layout_;
    if (UseRightToLeftReading()) {
        if (layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (layout == blGlyphRight)
            layout = blGlyphLeft;
    }
    std::wstring caption = GetText();
    TSize textSize{0, 0};
    if (!caption.empty()) {
        canvas_->GetFont()->Assign(Font());
        canvas_->Canvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
        RECT calc{0, 0, width, 0};
        DrawTextW(canvas_->GetHandle(), caption.c_str(), static_cast<int>(caption.size()), &calc,
                  DT_CALCRECT | captionFormat());
        TRect margins = glyph_->GetTextMargins();
        textSize = TSize{calc.right - calc.left + margins.left + margins.right,
                         calc.bottom - calc.top + margins.top + margins.bottom};
    }
    TSize glyphSize = glyph_->ImageSize();
    TPoint glyph{0, 0};
    TPoint text{0, 0};
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    if (horizontal) {
        glyph.y = (height - glyphSize.cy) / 2;
        text.y = (height - textSize.cy - 1) / 2;
    } else {
        glyph.x = (width - glyphSize.cx) / 2;
        text.x = (width - textSize.cx) / 2;
    }
    const int along = horizontal ? width : height;
    const int glyphAlong = horizontal ? glyphSize.cx : glyphSize.cy;
    const int textAlong = horizontal ? textSize.cx : textSize.cy;
    int margin = margin_;
    int spacing = spacing_;
    if (textAlong == 0 || glyphAlong == 0)
        spacing = 0;
    if (margin == -1 && spacing == -1) {
        margin = (along - glyphAlong - textAlong) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (along - glyphAlong - spacing - textAlong) / 2;
    } else if (spacing == -1) {
        spacing = (along - margin - glyphAlong - textAlong) / 2;
    }
    int glyphAt;
    int textAt;
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphAt = margin;
        textAt = margin + glyphAlong + spacing;
    } else {
        glyphAt = along - margin - glyphAlong;
        textAt = glyphAt - spacing - textAlong;
    }
    if (horizontal) {
        glyph.x = glyphAt;
        text.x = textAt;
    } else {
        glyph.y = glyphAt;
        text.y = textAt;
    }
    glyphPos = TPoint{glyph.x + client.left + offset.x, glyph.y + client.top + offset.y};
    int textLeft = text.x + client.left + offset.x;
    int textTop = text.y + client.top + offset.y;
    captionRect = TRect{textLeft, textTop, textLeft + textSize.cx, textTop + textSize.cy};
}

void TkvCustomButton::drawCaption(TkvCanvas *canvas, const TRect &rect, TkvButtonState state) {
    std::wstring caption = GetText();
    if (caption.empty())
        return;
    HDC dc = canvas->GetHandle();
    canvas->Canvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
    int oldMode = SetBkMode(dc, TRANSPARENT);
    UINT format = DrawTextBiDiModeFlags(DT_CENTER | DT_VCENTER | captionFormat());
    TRect r = rect;
    if (state == kvbsDisabled) {
        TRect shifted{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
        COLORREF old = SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &shifted, format);
        SetTextColor(dc, old);
    }
    SetTextColor(dc, ColorToRGB(canvas->GetFont()->GetColor()));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
    SetBkMode(dc, oldMode);
}

void TkvCustomButton::paint(HDC dc, const TRect &client) {
    TkvPainterClass painter = GetPainterClass();
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (buffer_->GetWidth() != width || buffer_->GetHeight() != height)
        buffer_->SetSize(width, height);
    HDC bufferDC = canvas_->GetHandle();
    SelectClipRgn(bufferDC, nullptr);
    const TRect all{0, 0, width, height};
    TColor parentColor = Parent() != nullptr ? Parent()->Color() : clBtnFace;
    FillRect(bufferDC, &all, CachedSolidBrush(parentColor));
    if (painter == PainterOf<TkvWinXPLookAndFeelPainter>()) {
        HTHEME theme = OpenThemeForKind(totButton);
        constexpr int pushButtonPart = 1;
        constexpr int normalState = 1;
        if (theme != nullptr && zt::IsThemeBackgroundPartiallyTransparent(theme, pushButtonPart, normalState))
            zt::DrawThemeParentBackground(handle_, bufferDC, &all);
    }

    TRect face = all;
    TRect arrowPart{};
    if (kind_ == kvbkDropDownButton) {
        arrowPart = TRect{all.right - arrowPartWidth, all.top, all.right, all.bottom};
        face.right -= faceArrowCut;
    }
    const TkvButtonState state = CurrentState();

    canvas_->GetFont()->Assign(Font());
    TColor color = colors_->Color(state);
    canvas_->GetFont()->SetColor(painter->GetButtonForeColor(state, Font()->GetColor()));
    if (OnGetDrawParams)
        OnGetDrawParams(this, state, color, canvas_->GetFont());

    // The face drawing sets the font colour: hand it the one chosen here.
    painter->DrawPushButton(canvas_, face, L"", state, true, color, canvas_->GetFont()->GetColor());
    const int shift = state == kvbsPressed ? painter->GetButtonPressedShift() : 0;

    // The content stops at the arrow part, which the face overlaps.
    TRect content = all;
    if (kind_ == kvbkDropDownButton)
        content.right = arrowPart.left;
    int border = painter->GetButtonBorderWidth(state);
    InflateRect(&content, -border, -border);
    TkvRegion *saved = canvas_->GetClipRegion();
    canvas_->IntersectClipRect(content);
    TPoint glyphPos{};
    TRect captionRect{};
    CalcLayout(face, TPoint{shift, shift}, glyphPos, captionRect);
    glyph_->Draw(bufferDC, glyphPos.x, glyphPos.y, state);
    drawCaption(canvas_, captionRect, state);
    canvas_->SetClipRegion(saved, rgnopCopy);

    if (kind_ == kvbkDropDownButton) {
        painter->DrawPushButton(canvas_, arrowPart, L"", state, true, color, canvas_->GetFont()->GetColor());
        painter->DrawArrowForState(canvas_, arrowPart, state, adDown);
    }
    if (focused_ && !menuVisible_) {
        SetTextColor(bufferDC, RGB(0, 0, 0));
        SetBkColor(bufferDC, RGB(255, 255, 255));
        canvas_->DrawFocusRect(painter->GetButtonFocusBounds(canvas_, all));
    }
    BitBlt(dc, client.left, client.top, width, height, bufferDC, 0, 0, SRCCOPY);
}

void TkvCustomButton::drawItem(const DRAWITEMSTRUCT &item) {
    if (isDestroying(this))
        return;
    pressed_ = !lockDown_ && (item.itemState & ODS_SELECTED) != 0;
    focused_ = (item.itemState & ODS_FOCUS) != 0;
    defaultLook_ = focused_ || (Default() && isDesigning(this));
    paint(item.hDC, item.rcItem);
}

bool TkvCustomButton::inArrowPart(int x, int y) {
    TRect client = GetClientRect();
    return kind_ == kvbkDropDownButton && x >= client.right - arrowPartWidth && x < client.right && y >= client.top &&
           y < client.bottom;
}

void TkvCustomButton::DropDown() {
    lockDown_ = true;
    if (HandleAllocated())
        PostMessageW(handle_, KVM_DROPDOWNMENU, 0, 0);
}

bool TkvCustomButton::DoDropDownMenuPopup(TPopupMenu *&menu) {
    bool handled = false;
    if (OnDropDownMenuPopup)
        OnDropDownMenuPopup(this, menu, handled);
    return handled;
}

bool TkvCustomButton::DoShowPopupMenu(TComponent *menu, int x, int y) { return ShowPopupMenu(this, menu, x, y); }

void TkvCustomButton::dropDownMenu() {
    if (kind_ == kvbkStandard)
        return;
    TPopupMenu *menu = dropDownMenu_;
    if (DoDropDownMenuPopup(menu) || menu == nullptr) {
        // Nothing drops down: the face must not stay locked up.
        lockDown_ = false;
        return;
    }
    menuVisible_ = true;
    Repaint();
    TPoint at{0, Height()};
    if (popupAlignment_ == paRight)
        at.x = Width();
    else if (popupAlignment_ == paCenter)
        at.x = Width() / 2;
    at = ClientToScreen(at);
    TRect work = GetMonitorWorkArea(at);
    int menuHeight = GetPopupMenuHeight(menu);
    if (at.y + menuHeight > work.bottom)
        at.y -= menuHeight + Height() + 2;
    TPopupAlignment oldAlignment = menu->Alignment();
    TPopupAlignment alignment = popupAlignment_;
    if (at.x <= work.left)
        alignment = paRight;
    else if (at.x >= work.right)
        alignment = paLeft;
    menu->SetAlignment(alignment);
    menu->SetPopupComponent(this);
    try {
        menu->Popup(at.x, at.y);
    } catch (...) {
        menu->SetAlignment(oldAlignment);
        if (HandleAllocated())
            PostMessageW(handle_, KVM_CLOSEUPMENU, 0, 0);
        throw;
    }
    menu->SetAlignment(oldAlignment);
    if (HandleAllocated())
        PostMessageW(handle_, KVM_CLOSEUPMENU, 0, 0);
}

void TkvCustomButton::closeUpMenu() {
    updateMouseInControl();
    menuVisible_ = false;
    Repaint();
    lockDown_ = false;
}

void TkvCustomButton::updateMouseInControl() {
    bool inside = false;
    if (HandleAllocated() && IsHotTrack()) {
        POINT cursor{};
        GetCursorPos(&cursor);
        inside = WindowFromPoint(cursor) == handle_;
    }
    if (inside != mouseInControl_) {
        mouseInControl_ = inside;
        if (!inside)
            EndMouseTracking(this);
        Invalidate();
    }
}

void TkvCustomButton::mouseEnter() {
    if (isDesigning(this) || isDestroying(this) || mouseInControl_ || !IsHotTrack() || GetCapture() != nullptr)
        return;
    BeginMouseTracking(this, TRect{0, 0, Width(), Height()}, this);
    mouseInControl_ = true;
    Repaint();
}

void TkvCustomButton::mouseLeave() {
    EndMouseTracking(this);
    if (mouseInControl_ && IsHotTrack()) {
        mouseInControl_ = false;
        Invalidate();
    }
}

void TkvCustomButton::MouseTrackingCallerMouseLeave() { Perform(CM_MOUSELEAVE, 0, 0); }

void TkvCustomButton::Click() {
    // A mouse click of a drop-down button dropped its menu at the press already.
    if (kind_ == kvbkDropDown && !menuVisible_ && !mouseClick_ && !handlingMouseUp_) {
        DropDown();
        return;
    }
    if (kind_ != kvbkStandard && mouseClick_) {
        mouseClick_ = false;
        return;
    }
    if (kind_ == kvbkDropDown)
        return;
    inherited::Click();
}

void TkvCustomButton::KeyDown(WORD &key, TShiftState shift) {
    if (kind_ == kvbkDropDownButton && (shift.Contains(ssAlt) || shift.Contains(ssShift)) &&
        (key == VK_UP || key == VK_DOWN)) {
        if (!menuVisible_)
            DropDown();
        key = 0;
        return;
    }
    inherited::KeyDown(key, shift);
}

void TkvCustomButton::DoContextPopup(TPoint mousePos, bool &handled) {
    if (OnContextPopup)
        OnContextPopup(this, mousePos, handled);
    if (handled || popupMenu_ == nullptr)
        return;
    TPoint at = mousePos;
    if (at.x == -1 && at.y == -1)
        at = TPoint{0, 0};
    at = ClientToScreen(at);
    handled = DoShowPopupMenu(popupMenu_, at.x, at.y);
}

void TkvCustomButton::Dispatch(TMessage &m) {
    // What arrives while the button is taken apart finds its parts gone.
    if (lookAndFeel_ == nullptr || glyph_ == nullptr || colors_ == nullptr) {
        inherited::Dispatch(m);
        return;
    }
    switch (m.Msg) {
    case CN_DRAWITEM:
        drawItem(*reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam));
        m.Result = 1;
        return;
    case CN_MEASUREITEM: {
        auto *measure = reinterpret_cast<MEASUREITEMSTRUCT *>(m.LParam);
        measure->itemWidth = static_cast<UINT>(Width());
        measure->itemHeight = static_cast<UINT>(Height());
        m.Result = 1;
        return;
    }
    case BM_SETSTYLE:
        // The window stays owner-drawn; the default ring is ours to draw.
        SetButtonStyle((m.WParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        m.WParam = BS_OWNERDRAW;
        inherited::Dispatch(m);
        return;
    case WM_ERASEBKGND:
        if (isDestroying(this) || IsSystemPainted() || GetPainterClass() == PainterOf<TkvWinXPLookAndFeelPainter>()) {
            inherited::Dispatch(m);
            return;
        }
        m.Result = 1;
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        int x = GET_X_LPARAM(m.LParam);
        int y = GET_Y_LPARAM(m.LParam);
        if (kind_ != kvbkStandard) {
            if (menuVisible_) {
                mouseClick_ = true;
                menuVisible_ = false;
                pressed_ = false;
                Repaint();
            } else if (kind_ == kvbkDropDown || inArrowPart(x, y)) {
                DropDown();
            }
        }
        if (inArrowPart(x, y))
            lockDown_ = true;
        m.Msg = WM_LBUTTONDOWN;
        inherited::Dispatch(m);
        return;
    }
    case WM_LBUTTONUP:
        if (kind_ == kvbkDropDownButton && !menuVisible_)
            lockDown_ = false;
        handlingMouseUp_ = true;
        try {
            inherited::Dispatch(m);
        } catch (...) {
            handlingMouseUp_ = false;
            throw;
        }
        handlingMouseUp_ = false;
        return;
    case WM_MOUSEMOVE: {
        inherited::Dispatch(m);
        TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        TRect client = GetClientRect();
        if (!mouseInControl_ && GetCapture() == nullptr && PtInRect(&client, p))
            Perform(CM_MOUSEENTER, 0, 0);
        return;
    }
    case WM_CAPTURECHANGED:
        inherited::Dispatch(m);
        updateMouseInControl();
        return;
    case CM_MOUSEENTER:
        mouseEnter();
        inherited::Dispatch(m);
        return;
    case CM_MOUSELEAVE:
        mouseLeave();
        inherited::Dispatch(m);
        return;
    case CM_ENABLEDCHANGED:
        mouseInControl_ = false;
        EndMouseTracking(this);
        inherited::Dispatch(m);
        Invalidate();
        return;
    case CM_FONTCHANGED:
        inherited::Dispatch(m);
        Invalidate();
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
        if (popupMenu_ != nullptr) {
            TWMKey key(m);
            if (IsPopupMenuShortCut(popupMenu_, key)) {
                m.Result = 1;
                return;
            }
        }
        inherited::Dispatch(m);
        return;
    case WM_CONTEXTMENU: {
        if (m.Result == 0 && !isDesigning(this)) {
            TPoint pos{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
            bool keyboard = pos.x == -1 && pos.y == -1;
            TPoint local = keyboard ? pos : ScreenToClient(pos);
            TRect client = GetClientRect();
            if (keyboard || PtInRect(&client, local)) {
                bool handled = false;
                DoContextPopup(local, handled);
                if (handled) {
                    m.Result = 1;
                    return;
                }
            }
        }
        inherited::Dispatch(m);
        return;
    }
    default:
        if (m.Msg == KVM_DROPDOWNMENU) {
            dropDownMenu();
            return;
        }
        if (m.Msg == KVM_CLOSEUPMENU) {
            closeUpMenu();
            return;
        }
        inherited::Dispatch(m);
    }
}
