// kvMaskEditModes: the strategy objects through which a masked editor handles keys, characters,
// pastes, cuts and text changes while a mask is active.
//
// The standard mode edits in overwrite fashion over the fixed positions of a standard mask: the
// caret is the start of a one-character selection. The regular-expression mode lets through only
// what the automaton accepts after the text left of the caret, keeping the text right of the
// caret when it still fits and cutting it off when not. The extended mode also types the
// characters the expression forces and removes them again together with the character that
// brought them.
//
// A mode works on its editor through IkvMaskEditModeHost, so the same rules run against the
// inner Windows edit of the control and against a plain text-and-selection model.
#ifndef KV_MASK_EDIT_MODES_H
#define KV_MASK_EDIT_MODES_H

#include <classlib/exceptions.h>
#include <classlib/object.h>

#include <cstdint>
#include <string>
#include <vector>

class TkvStandardMask;
class TkvRegExpr;

enum TkvEditMaskKind : std::uint8_t { emkStandard, emkRegExpr, emkRegExprEx };

class EkvMaskEditError : public Exception {
public:
    using Exception::Exception;
};

// A mask that is empty or only spaces is no mask.
bool IsMaskTextEmpty(const std::wstring &mask);

// The settings a mode reads; the editor's properties answer them.
struct IkvMaskEditModeOptions : IInterface {
    virtual bool BeepOnError() const = 0;
    virtual bool IgnoreMaskBlank() const = 0;
    virtual bool CaseInsensitive() const = 0;
    // Whether the editor leaves the typed case alone.
    virtual bool CharCaseNormal() const = 0;
};

// What a mode needs of its editor. Positions are character indexes into the inner text.
struct IkvMaskEditModeHost : IInterface {
    virtual const IkvMaskEditModeOptions &Options() const = 0;
    // The editor has a usable inner edit / a window handle.
    virtual bool HasEdit() const = 0;
    virtual bool HasWindow() const = 0;
    virtual std::wstring InnerText() const = 0;
    // Writes the inner edit's text as it is, bypassing the mask.
    virtual void SetInnerText(const std::wstring &text) = 0;
    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    // Where the caret is: the start or the end of the selection.
    virtual int CaretIndex() const = 0;
    // Selects from the anchor to the caret through the editor's own selection path.
    virtual void SetSelection(int anchor, int caret) = 0;
    // A key or character handed to the inner edit's own handling, bypassing the mask.
    virtual void SendKey(std::uint16_t key) = 0;
    virtual void SendChar(wchar_t character) = 0;
    virtual void Beep() = 0;
    virtual bool ShiftFlag() const = 0;
    virtual void SetShiftFlag(bool value) = 0;
    // The editor's last word on a character at a position; may change or zero it.
    virtual bool IsCharAllowedAt(wchar_t &character, int position) = 0;
    virtual bool EditModified() const = 0;
    // The display text, and the display form of the edit value for the editor's focus state.
    virtual std::wstring DisplayText() const = 0;
    virtual std::wstring DisplayValueOfEditValue() const = 0;
    virtual void SetEditValueText(const std::wstring &text) = 0;
};

class TkvMaskEditCustomMode : public TObject {
    CL_CLASS(TkvMaskEditCustomMode, TObject)
public:
    virtual TkvEditMaskKind GetMaskKind() const = 0;
    // Either may be null; without a host the options serve.
    virtual void Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options);
    virtual void AfterPaste() = 0;
    // Raises EkvMaskEditError for an expression with errors; the mode keeps its old mask then.
    virtual void Compile(const std::wstring &mask) = 0;
    virtual std::wstring GetEmptyString() = 0;
    // A text fitted into the mask; `flag` makes the literals of a standard mask count.
    virtual std::wstring GetFormattedText(const std::wstring &text, bool flag) = 0;
    virtual void SelectAllPrepared() = 0;
    virtual bool IsCursorBegin() = 0;
    virtual bool IsCursorEnd() = 0;
    virtual bool IsFullText(const std::wstring &text) = 0;
    virtual void MouseDown() = 0;
    virtual void BeforePaste() = 0;
    // The presses answer true when the inner edit shall perform the key itself.
    virtual bool PressBackspace() = 0;
    virtual bool PressDelete() = 0;
    virtual bool PressEnd() = 0;
    virtual bool PressHome() = 0;
    virtual bool PressLeft() = 0;
    virtual bool PressRight() = 0;
    virtual bool PressSymbol(wchar_t &character) = 0;
    virtual void SetText(const std::wstring &text) = 0;
    virtual void SynchronizeEditValue();
    virtual void UpdateEditValue() = 0;
    // The edit-value form of a shown text.
    virtual std::wstring TextToEditText(const std::wstring &text, bool flag) = 0;

    const std::wstring &Mask() const noexcept { return mask_; }
    bool HasEdit() const { return host_ != nullptr && host_->HasEdit(); }
    IkvMaskEditModeHost *Host() const noexcept { return host_; }
    const IkvMaskEditModeOptions *Options() const noexcept;
    int ClipboardTextLength = 0;
    bool NeedUpdateEditValue = false;
    // The character case and echo mode last applied, as the editor codes them.
    int CharCase = 0;
    int EchoMode = 0;

protected:
    void beep();
    // The empty text written to the edit value, once it waits for it.
    void writePendingEmptyValue();
    std::wstring mask_;
    IkvMaskEditModeHost *host_ = nullptr;
    const IkvMaskEditModeOptions *options_ = nullptr;
};

using TkvMaskEditModeClass = TClass;

class TkvMaskEditStandardMode : public TkvMaskEditCustomMode {
    CL_CLASS(TkvMaskEditStandardMode, TkvMaskEditCustomMode)
public:
    TkvEditMaskKind GetMaskKind() const override { return emkStandard; }
    void Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options) override;
    void AfterPaste() override;
    void Compile(const std::wstring &mask) override;
    std::wstring GetEmptyString() override;
    std::wstring GetFormattedText(const std::wstring &text, bool flag) override;
    void SelectAllPrepared() override {}
    bool IsCursorBegin() override;
    bool IsCursorEnd() override;
    bool IsFullText(const std::wstring &text) override;
    void MouseDown() override;
    void BeforePaste() override;
    bool PressBackspace() override;
    bool PressDelete() override;
    bool PressEnd() override;
    bool PressHome() override;
    bool PressLeft() override;
    bool PressRight() override;
    bool PressSymbol(wchar_t &character) override;
    void SetText(const std::wstring &text) override;
    void SynchronizeEditValue() override;
    void UpdateEditValue() override;
    std::wstring TextToEditText(const std::wstring &text, bool flag) override;
    virtual wchar_t GetBlank() const;

    TkvStandardMask *StandardMask() const noexcept { return standardMask_; }

protected:
    void Destroy() override;

private:
    bool maskActive() const;
    void selectOverwriteCursor();
    void placeCaret(int position);
    void blankSelection();
    bool moveRight(bool shift);
    bool moveLeft(bool shift);
    bool pressSymbolAt(wchar_t &character, int depth);

    TkvStandardMask *standardMask_ = nullptr;
    int pasteStart_ = 0;
};

class TkvMaskEditRegExprMode : public TkvMaskEditCustomMode {
    CL_CLASS(TkvMaskEditRegExprMode, TkvMaskEditCustomMode)
public:
    TkvEditMaskKind GetMaskKind() const override { return emkRegExpr; }
    void Create(IkvMaskEditModeHost *host, const IkvMaskEditModeOptions *options) override;
    void AfterPaste() override;
    void Compile(const std::wstring &mask) override;
    std::wstring GetEmptyString() override { return {}; }
    std::wstring GetFormattedText(const std::wstring &text, bool flag) override;
    void SelectAllPrepared() override {}
    bool IsCursorBegin() override;
    bool IsCursorEnd() override;
    bool IsFullText(const std::wstring &text) override;
    void MouseDown() override {}
    void BeforePaste() override {}
    bool PressBackspace() override;
    bool PressDelete() override;
    bool PressEnd() override { return true; }
    bool PressHome() override { return true; }
    bool PressLeft() override { return true; }
    bool PressRight() override { return true; }
    bool PressSymbol(wchar_t &character) override;
    void SetText(const std::wstring &) override {}
    void SynchronizeEditValue() override;
    void UpdateEditValue() override {}
    std::wstring TextToEditText(const std::wstring &text, bool) override { return text; }

    TkvRegExpr *RegExpr() const noexcept { return regExpr_; }
    bool Compiled() const;

protected:
    void Destroy() override;
    // The automaton set to the start and fed the text; false when it refused a character.
    bool feed(const std::wstring &text);
    // Whether the text fits after what the automaton has been fed; leaves the automaton as it was.
    bool fits(const std::wstring &text);
    void applyCaseRule();
    void setText(const std::wstring &text, int caret);
    // The selection [start, end) of the text goes; the inner edit removes it (true) when the rest
    // still fits after what stands before it, else the mode cuts the rest off too and beeps.
    bool removeSelection(const std::wstring &text, int start, int end);

    TkvRegExpr *regExpr_ = nullptr;
};

class TkvMaskEditRegExprExMode : public TkvMaskEditRegExprMode {
    CL_CLASS(TkvMaskEditRegExprExMode, TkvMaskEditRegExprMode)
public:
    TkvEditMaskKind GetMaskKind() const override { return emkRegExprEx; }
    void AfterPaste() override;
    std::wstring GetEmptyString() override;
    std::wstring GetFormattedText(const std::wstring &text, bool flag) override;
    bool IsFullText(const std::wstring &text) override;
    void MouseDown() override;
    void BeforePaste() override;
    bool PressBackspace() override;
    bool PressDelete() override;
    bool PressLeft() override;
    bool PressRight() override;
    bool PressSymbol(wchar_t &character) override;
    void SetText(const std::wstring &text) override;
    void UpdateEditValue() override;

private:
    // The characters the expression forces from where the automaton stands; the automaton
    // moves past them.
    std::wstring forcedContinuation();
    std::wstring forcedStart();
    // How many characters at the end of the text the expression forced.
    int trailingForced(const std::wstring &text);
    // Where each whole step of the text ends: the forced start, then each character with the
    // characters it forced.
    std::vector<int> stepEnds(const std::wstring &text);
    void snapCaret();
    int newCaret_ = -1;
};

// The class of the mode for a mask kind.
TClass MaskEditModeClass(TkvEditMaskKind kind);

// The masked editor's routing of a key: answers the key still to be handled (0 when consumed);
// `afterKeyDown` tells that the editor's after-key-down event is due.
std::uint16_t MaskEditModeKeyDown(TkvMaskEditCustomMode &mode, std::uint16_t key, bool shift, bool ctrl,
                                  bool &afterKeyDown);
// The routing of a typed character: true when it goes on to the inner edit (perhaps changed).
bool MaskEditModeKeyPress(TkvMaskEditCustomMode &mode, wchar_t &character);
// After the selection was copied: removes it as the mask allows. An empty selection cuts nothing.
void MaskEditModeCut(TkvMaskEditCustomMode &mode);

#endif
