#include "classlib/filer.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

#include "classlib/class_registry.h"
#include "classlib/exceptions.h"
#include "classlib/string_list.h"
#include "classlib/string_utils.h"

namespace {

bool isIdentStart(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; }
bool isIdentPart(wchar_t c) { return isIdentStart(c) || (c >= L'0' && c <= L'9') || c == L'.'; }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring quoted(const std::wstring &value) {
    // Control characters stand outside the quotes as #n, so a value keeps its line ends.
    std::wstring out;
    bool open = false;
    for (wchar_t c : value) {
        if (c < 32) {
            if (open)
                out += L'\'';
            open = false;
            out += L'#' + std::to_wstring(static_cast<int>(c));
            continue;
        }
        if (!open)
            out += L'\'';
        open = true;
        out += c;
        if (c == L'\'')
            out += L'\'';
    }
    if (open)
        out += L'\'';
    return out.empty() ? L"''" : out;
}

std::wstring floatText(double value) {
    wchar_t buffer[40];
    std::swprintf(buffer, 40, L"%.17g", value);
    std::wstring text = buffer;
    if (text.find_first_of(L".eE") == std::wstring::npos)
        text += L".0";
    return text;
}

// The value as written, or empty when there is nothing to write (a null reference, a class).
std::wstring valueText(const TPropInfo &info) {
    switch (info.Kind) {
    case pkInteger:
        return std::to_wstring(info.GetOrd());
    case pkBoolean:
        return info.GetOrd() != 0 ? L"True" : L"False";
    case pkEnum: {
        std::int64_t ord = info.GetOrd();
        if (ord >= 0 && ord < static_cast<std::int64_t>(info.Names.size()))
            return info.Names[static_cast<std::size_t>(ord)];
        return std::to_wstring(ord);
    }
    case pkFloat:
        return floatText(info.GetFloat());
    case pkString:
        return quoted(info.GetString());
    case pkComponent: {
        TComponent *component = info.GetComponent();
        return component != nullptr ? component->Name() : std::wstring();
    }
    case pkClass:
        break;
    }
    return {};
}

// Whether a property left alone reads back as it is: its default, an empty string, a zero.
bool isDefault(const TPropInfo &info) {
    switch (info.Kind) {
    case pkInteger:
    case pkBoolean:
    case pkEnum:
        return info.HasDefault && info.GetOrd() == info.Default;
    case pkFloat:
        return info.GetFloat() == 0.0;
    case pkString:
        return info.GetString().empty();
    case pkComponent:
        return info.GetComponent() == nullptr;
    case pkClass:
        break;
    }
    return false;
}

} // namespace

// --- reader

void TReader::Create(TStream *stream) {
    inherited::Create();
    stream_ = stream;
    text_ = Utf8ToWide(classlib_detail::readStreamRest(stream));
}

void TReader::error(const std::wstring &what) const { throw EReadError(what); }

TReader::Token TReader::peek() {
    while (pos_ < text_.size() && (text_[pos_] == L' ' || text_[pos_] == L'\t' || text_[pos_] == L'\r' ||
                                   text_[pos_] == L'\n'))
        ++pos_;
    if (pos_ >= text_.size())
        return Token::End;
    wchar_t c = text_[pos_];
    if (isIdentStart(c))
        return Token::Ident;
    if (isDigit(c) || c == L'-')
        return Token::Number;
    if (c == L'\'' || c == L'#')
        return Token::String;
    return Token::Symbol;
}

std::wstring TReader::next(Token expected) {
    Token token = peek();
    if (token != expected)
        error(L"Invalid stream format");
    std::wstring value;
    switch (token) {
    case Token::Ident:
        while (pos_ < text_.size() && isIdentPart(text_[pos_]))
            value += text_[pos_++];
        break;
    case Token::Number:
        value += text_[pos_++];
        while (pos_ < text_.size() && (isDigit(text_[pos_]) || text_[pos_] == L'.' || text_[pos_] == L'e' ||
                                       text_[pos_] == L'E' || text_[pos_] == L'-' || text_[pos_] == L'+'))
            value += text_[pos_++];
        break;
    case Token::String:
        while (pos_ < text_.size() && (text_[pos_] == L'\'' || text_[pos_] == L'#')) {
            if (text_[pos_] == L'#') {
                std::size_t start = ++pos_;
                while (pos_ < text_.size() && isDigit(text_[pos_]))
                    ++pos_;
                if (start == pos_ || pos_ - start > 5)
                    error(L"Invalid stream format");
                value += static_cast<wchar_t>(std::stoi(text_.substr(start, pos_ - start)));
                continue;
            }
            for (++pos_;; ++pos_) {
                if (pos_ >= text_.size())
                    error(L"Unterminated string");
                if (text_[pos_] == L'\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == L'\'') {
                        value += L'\'';
                        ++pos_;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                value += text_[pos_];
            }
        }
        break;
    case Token::Symbol:
        value += text_[pos_++];
        break;
    case Token::End:
        break;
    }
    return value;
}

bool TReader::atWord(const wchar_t *word) {
    if (peek() != Token::Ident)
        return false;
    std::size_t length = std::wcslen(word);
    return text_.compare(pos_, length, word) == 0 &&
           (pos_ + length >= text_.size() || !isIdentPart(text_[pos_ + length]));
}

void TReader::expectSymbol(wchar_t symbol) {
    if (peek() != Token::Symbol || next(Token::Symbol) != std::wstring(1, symbol))
        error(L"Invalid stream format");
}

void TReader::ReadRootComponent(TComponent *root) {
    root_ = root;
    owner_ = root;
    parent_ = nullptr;
    loaded_.clear();
    fixups_.clear();
    std::wstring name;
    std::wstring className;
    readHeader(name, className);
    // A root named already keeps its name.
    beginReading(root, root->Name().empty() ? name : std::wstring());
    try {
        root->ReadState(this);
    } catch (...) {
        for (TComponent *component : loaded_)
            component->state_.Exclude(csReading);
        throw;
    }
    root->state_.Exclude(csReading);
    for (const Fixup &fixup : fixups_) {
        TComponent *target = SameText(fixup.name, root->Name()) ? root : root->FindComponent(fixup.name);
        fixup.set(target);
    }
    fixups_.clear();
    // A component freed by another's Loaded is no longer ours to call.
    std::vector<TComponent *> loaded;
    loaded.swap(loaded_);
    for (TComponent *component : loaded)
        component->Loaded();
}

void TReader::readHeader(std::wstring &name, std::wstring &className) {
    if (!atWord(L"object"))
        error(L"Invalid stream format");
    next(Token::Ident);
    name = next(Token::Ident);
    if (peek() == Token::Symbol) {
        expectSymbol(L':');
        className = next(Token::Ident);
    } else {
        className = name;
        name.clear();
    }
}

void TReader::beginReading(TComponent *component, const std::wstring &name) {
    component->state_.Include(csLoading);
    component->state_.Include(csReading);
    if (!name.empty())
        component->SetName(name);
    loaded_.push_back(component);
}

void TReader::readComponent() {
    std::wstring name;
    std::wstring className;
    readHeader(name, className);
    TClass cls = FindNamedClass(className);
    if (cls == nullptr || !cls->InheritsFrom(TComponent::ClassInfo()))
        error(L"Class " + className + L" not found");
    TComponent *component = NewOf<TComponent>(cls, owner_);
    try {
        beginReading(component, name);
        component->ReadState(this);
        component->state_.Exclude(csReading);
    } catch (...) {
        std::erase(loaded_, component);
        component->Free();
        throw;
    }
}

void TReader::ReadData(TComponent *instance) {
    // Listed once for all the instance's lines: an entry only calls back into the instance.
    TPropList properties = GetPropList(instance);
    while (!atWord(L"object") && !atWord(L"end")) {
        if (peek() == Token::End)
            error(L"Invalid stream format");
        readProperty(instance, properties);
    }
    TComponent *oldParent = parent_;
    TComponent *oldOwner = owner_;
    parent_ = instance->GetChildParent();
    owner_ = instance->GetChildOwner();
    if (owner_ == nullptr)
        owner_ = root_;
    try {
        while (atWord(L"object"))
            readComponent();
    } catch (...) {
        parent_ = oldParent;
        owner_ = oldOwner;
        throw;
    }
    parent_ = oldParent;
    owner_ = oldOwner;
    if (!atWord(L"end"))
        error(L"Invalid stream format");
    next(Token::Ident);
}

void TReader::readProperty(TComponent *instance, TPropList &properties) {
    std::wstring path = next(Token::Ident);
    expectSymbol(L'=');
    TPersistent *object = instance;
    // A sub-object is listed afresh on each line: an earlier line may have replaced it.
    TPropList subProperties;
    TPropList *list = &properties;
    std::size_t start = 0;
    for (;;) {
        std::size_t dot = path.find(L'.', start);
        std::wstring part = path.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
        TPropInfo *info = list->Find(part);
        if (dot == std::wstring::npos) {
            if (info != nullptr && info->Kind != pkClass) {
                setValue(*info, path);
                return;
            }
            pendingName_ = part;
            pendingFound_ = false;
            object->DefineProperties(this);
            pendingName_.clear();
            if (!pendingFound_)
                error(L"Error reading " + std::wstring(instance->ClassName()) + L"." + path + L": Property " + part +
                      L" does not exist");
            return;
        }
        if (info == nullptr || info->Kind != pkClass || info->GetObject() == nullptr)
            error(L"Error reading " + std::wstring(instance->ClassName()) + L"." + path + L": Property " + part +
                  L" does not exist");
        object = info->GetObject();
        subProperties = GetPropList(object);
        list = &subProperties;
        start = dot + 1;
    }
}

void TReader::setValue(TPropInfo &info, const std::wstring &path) {
    switch (info.Kind) {
    case pkInteger:
        info.SetOrd(ReadInteger());
        break;
    case pkBoolean:
        info.SetOrd(ReadBoolean() ? 1 : 0);
        break;
    case pkEnum: {
        std::wstring ident = ReadIdent();
        for (std::size_t i = 0; i < info.Names.size(); ++i)
            if (SameText(info.Names[i], ident)) {
                info.SetOrd(static_cast<std::int64_t>(i));
                return;
            }
        error(L"Invalid property value: " + path + L" = " + ident);
    }
    case pkFloat:
        info.SetFloat(ReadFloat());
        break;
    case pkString:
        info.SetString(ReadString());
        break;
    case pkComponent:
        // Resolved once everything is read: the component may come later in the stream.
        fixups_.push_back(Fixup{info.SetComponent, ReadIdent()});
        break;
    case pkClass:
        break;
    }
}

std::int64_t TReader::ReadInteger() {
    std::wstring text = next(Token::Number);
    std::int64_t value = 0;
    if (!TryStrToInt64(text, value))
        error(L"Invalid integer value: " + text);
    return value;
}

bool TReader::ReadBoolean() {
    std::wstring ident = next(Token::Ident);
    if (SameText(ident, L"True"))
        return true;
    if (SameText(ident, L"False"))
        return false;
    error(L"Invalid property value: " + ident);
}

double TReader::ReadFloat() {
    std::wstring text = next(Token::Number);
    wchar_t *end = nullptr;
    double value = std::wcstod(text.c_str(), &end);
    if (end == nullptr || *end != L'\0')
        error(L"Invalid floating point value: " + text);
    return value;
}

std::wstring TReader::ReadString() { return next(Token::String); }

std::wstring TReader::ReadIdent() { return next(Token::Ident); }

void TReader::DefineProperty(const std::wstring &name, const TReaderProc &read, const TWriterProc &, bool) {
    if (!pendingFound_ && !pendingName_.empty() && read && SameText(name, pendingName_)) {
        pendingFound_ = true;
        read(this);
    }
}

// --- writer

void TWriter::Create(TStream *stream) {
    inherited::Create();
    stream_ = stream;
}

void TWriter::WriteDescendent(TComponent *root, TComponent *ancestor) {
    root_ = root;
    rootAncestor_ = ancestor;
    out_.clear();
    depth_ = 0;
    writeComponent(root);
    std::string bytes = WideToUtf8(out_);
    stream_->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    out_.clear();
}

void TWriter::line(const std::wstring &text, const TWriterProc &value) {
    out_.append(static_cast<std::size_t>(depth_) * 2, L' ');
    out_ += text;
    if (value)
        value(this);
    out_ += L"\r\n";
}

void TWriter::writeComponent(TComponent *component) {
    TComponent *oldAncestor = ancestor_;
    if (component == root_)
        ancestor_ = rootAncestor_;
    else
        ancestor_ = rootAncestor_ != nullptr ? rootAncestor_->FindComponent(component->Name()) : nullptr;
    line(L"object " + (component->Name().empty() ? std::wstring() : component->Name() + L": ") +
         component->ClassName());
    ++depth_;
    component->state_.Include(csWriting);
    try {
        component->WriteState(this);
    } catch (...) {
        component->state_.Exclude(csWriting);
        --depth_;
        ancestor_ = oldAncestor;
        throw;
    }
    component->state_.Exclude(csWriting);
    --depth_;
    line(L"end");
    ancestor_ = oldAncestor;
}

void TWriter::WriteData(TComponent *instance) {
    writeProperties(instance, ancestor_, L"");
    prefix_.clear();
    instance->DefineProperties(this);
    instance->GetChildren([this](TComponent *child) { writeComponent(child); }, root_);
}

void TWriter::writeProperties(TPersistent *instance, TPersistent *ancestor, const std::wstring &prefix) {
    TPropList list = GetPropList(instance);
    TPropList ancestors = GetPropList(ancestor);
    for (const TPropInfo &info : list.Items()) {
        if (!info.IsStored())
            continue;
        TPropInfo *theirs = ancestor != nullptr ? ancestors.Find(info.Name) : nullptr;
        if (info.Kind == pkClass) {
            TPersistent *object = info.GetObject();
            if (object != nullptr) {
                writeProperties(object, theirs != nullptr && theirs->Kind == pkClass ? theirs->GetObject() : nullptr,
                                prefix + info.Name + L".");
                prefix_ = prefix + info.Name + L".";
                object->DefineProperties(this);
            }
            continue;
        }
        std::wstring text = valueText(info);
        if (theirs != nullptr ? valueText(*theirs) == text : isDefault(info))
            continue;
        if (text.empty())
            continue;
        line(prefix + info.Name + L" = " + text);
    }
}

void TWriter::DefineProperty(const std::wstring &name, const TReaderProc &, const TWriterProc &write, bool hasData) {
    if (!hasData || !write)
        return;
    line(prefix_ + name + L" = ", write);
}

void TWriter::WriteInteger(std::int64_t value) { out_ += std::to_wstring(value); }
void TWriter::WriteBoolean(bool value) { out_ += value ? L"True" : L"False"; }
void TWriter::WriteFloat(double value) { out_ += floatText(value); }
void TWriter::WriteString(const std::wstring &value) { out_ += quoted(value); }
void TWriter::WriteIdent(const std::wstring &value) { out_ += value; }
