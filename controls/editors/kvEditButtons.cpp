// kvEditButtons: edit buttons, their collection and their view state.
#include "kvEditButtons.h"

#include <classlib/component.h>

#include "kvEditPaintUtils.h"

namespace {

bool sameRect(const TRect &a, const TRect &b) { return EqualRect(&a, &b) != FALSE; }

// The component the collection's owner chain leads to, if any.
TComponent *owningComponent(TPersistent *persistent) {
    for (TPersistent *p = persistent; p != nullptr; p = GetPersistentOwnerOf(p))
        if (auto *component = dynamic_cast<TComponent *>(p))
            return component;
    return nullptr;
}

} // namespace

void TkvEditButton::Create(TCollection *collection) { inherited::Create(collection); }

void TkvEditButton::Destroy() {
    if (glyph_ != nullptr)
        glyph_->OnChange = nullptr;
    FreeAndNil(glyph_);
    inherited::Destroy();
}

void TkvEditButton::SetCaption(const std::wstring &value) {
    if (value == caption_)
        return;
    caption_ = value;
    visibleCaption_ = RemoveAccelChars(value);
    Changed(false);
}

void TkvEditButton::SetDefault(bool value) {
    if (value == default_)
        return;
    if (value && Collection() != nullptr)
        for (int i = 0; i < Collection()->Count(); ++i)
            if (auto *other = dynamic_cast<TkvEditButton *>(Collection()->Items(i)); other != nullptr && other != this)
                other->default_ = false;
    default_ = value;
    Changed(true);
}

void TkvEditButton::SetEnabled(bool value) {
    if (value != enabled_) {
        enabled_ = value;
        Changed(false);
    }
}

TBitmap *TkvEditButton::Glyph() {
    if (glyph_ == nullptr) {
        glyph_ = New<TBitmap>();
        glyph_->OnChange = [this](TObject *) { glyphChanged(); };
    }
    return glyph_;
}

void TkvEditButton::glyphChanged() { Changed(false); }

void TkvEditButton::SetGlyph(TBitmap *value) {
    if (value == nullptr) {
        if (glyph_ == nullptr)
            return;
        glyph_->OnChange = nullptr;
        FreeAndNil(glyph_);
        Changed(false);
        return;
    }
    TBitmap *glyph = Glyph();
    glyph->OnChange = nullptr;
    glyph->Assign(value);
    glyph->OnChange = [this](TObject *) { glyphChanged(); };
    Changed(false);
}

void TkvEditButton::SetKind(TkvEditButtonKind value) {
    if (value != kind_) {
        kind_ = value;
        Changed(false);
    }
}

void TkvEditButton::SetLeftAlignment(bool value) {
    if (value != leftAlignment_) {
        leftAlignment_ = value;
        Changed(false);
    }
}

void TkvEditButton::SetStretchable(bool value) {
    if (value != stretchable_) {
        stretchable_ = value;
        Changed(false);
    }
}

void TkvEditButton::SetVisible(bool value) {
    if (value != visible_) {
        visible_ = value;
        Changed(false);
    }
}

void TkvEditButton::SetWidth(int value) {
    if (value >= 0 && value != width_) {
        width_ = value;
        Changed(false);
    }
}

void TkvEditButton::SetTextColor(TColor value) {
    if (value != textColor_) {
        textColor_ = value;
        Changed(false);
    }
}

void TkvEditButton::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvEditButton *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    if (Collection() != nullptr)
        Collection()->BeginUpdate();
    try {
        SetCaption(other->caption_);
        visibleCaption_ = other->visibleCaption_;
        SetDefault(other->default_);
        SetEnabled(other->enabled_);
        SetGlyph(other->glyph_);
        SetKind(other->kind_);
        SetLeftAlignment(other->leftAlignment_);
        SetStretchable(other->stretchable_);
        SetTextColor(other->textColor_);
        SetVisible(other->visible_);
        SetWidth(other->width_);
    } catch (...) {
        if (Collection() != nullptr)
            Collection()->EndUpdate();
        throw;
    }
    if (Collection() != nullptr)
        Collection()->EndUpdate();
}

int TkvEditButtons::VisibleCount() const {
    int count = 0;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Visible())
            ++count;
    return count;
}

void TkvEditButtons::Update(TCollectionItem *item) {
    if (OnChange)
        OnChange(this, item);
}

void TkvEditButtons::Added(TCollectionItem *item) {
    if (Count() != 1)
        return;
    TComponent *component = owningComponent(Owner());
    if (component != nullptr && component->ComponentState().Contains(csDesigning) &&
        !component->ComponentState().Contains(csLoading))
        if (auto *button = dynamic_cast<TkvEditButton *>(item))
            button->default_ = true;
}

bool TkvEditButtonViewInfoData::operator==(const TkvEditButtonViewInfoData &o) const {
    return sameRect(ContentRect, o.ContentRect) && Kind == o.Kind && NativeStyle == o.NativeStyle &&
           ComboBoxStyle == o.ComboBoxStyle && State == o.State && Style == o.Style && LeftAlignment == o.LeftAlignment &&
           LeftNeighbour == o.LeftNeighbour && RightNeighbour == o.RightNeighbour && Glyph == o.Glyph &&
           VisibleCaption == o.VisibleCaption && TextColor == o.TextColor && HasOwnBackground == o.HasOwnBackground &&
           BackgroundColor == o.BackgroundColor && Width == o.Width &&
           IsPartiallyTransparent == o.IsPartiallyTransparent && NativeState == o.NativeState;
}

void TkvEditButtonViewInfo::Assign(TPersistent *source) {
    auto *other = dynamic_cast<TkvEditButtonViewInfo *>(source);
    if (other == nullptr) {
        inherited::Assign(source);
        return;
    }
    ThemeState = other->ThemeState;
    Data = other->Data;
    Bounds = other->Bounds;
    Kind = other->Kind;
    State = other->State;
}

bool TkvEditButtonViewInfo::sameAs(const TkvEditButtonViewInfo *old) const {
    return old != nullptr && Kind == old->Kind && State == old->State && Data == old->Data &&
           ThemeState == old->ThemeState;
}

TkvRegion *TkvEditButtonViewInfo::GetUpdateRegion(const TkvEditButtonViewInfo *old) const {
    if (sameAs(old))
        return New<TkvRegion>();
    return New<TkvRegion>(Bounds);
}

bool TkvEditButtonViewInfo::Repaint(HWND window, const TkvEditButtonViewInfo *old, const TPoint &offset) const {
    if (sameAs(old))
        return false;
    if (window != nullptr) {
        RECT r = Bounds;
        OffsetRect(&r, offset.x, offset.y);
        InvalidateRect(window, &r, HasBackground ? TRUE : FALSE);
    }
    return true;
}
