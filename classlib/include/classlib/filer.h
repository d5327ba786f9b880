// The component reader and writer: a form and what it holds, to a stream and back.
//
// Stands in for the compiler library's filer, reader and writer, in a text format of its own
// (UTF-8):
//     object Name: TClassName
//       Prop = 12
//       Caption = 'text'#13#10'more'
//       Enabled = False
//       Kind = kvbkDropDown
//       Action = Action1
//       Properties.ReadOnly = True
//       object Child: TChildClass
//       end
//     end
// Written are the published properties (typinfo.h) that are stored and differ from the
// ancestor's value, or from the default when there is no ancestor, then the properties the
// object defines itself (DefineProperties), then the children GetChildren hands over.
// Reading makes each child of its registered class (class_registry.h) with the reader's owner,
// marks it loading and reading, and calls its ReadState, which reads the properties and the
// children (with the component as their parent); references by name are resolved once the whole
// root is read, and then every component read has Loaded called, in reading order.
#ifndef CLASSLIB_FILER_H
#define CLASSLIB_FILER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "component.h"
#include "object.h"
#include "stream.h"
#include "typinfo.h"

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader *)>;
using TWriterProc = std::function<void(TWriter *)>;

class TFiler : public TObject {
    CL_CLASS(TFiler, TObject)

public:
    TComponent *Root() const noexcept { return root_; }
    // The writer's counterpart of the component being written in the ancestor, or null.
    TComponent *Ancestor() const noexcept { return ancestor_; }
    // A property the object reads and writes itself; written only when hasData.
    virtual void DefineProperty(const std::wstring &name, const TReaderProc &read, const TWriterProc &write,
                                bool hasData) = 0;

protected:
    TStream *stream_ = nullptr;
    TComponent *root_ = nullptr;
    TComponent *ancestor_ = nullptr;
};

class TReader : public TFiler {
    CL_CLASS(TReader, TFiler)

public:
    // Reads from the stream's position to its end.
    void Create(TStream *stream);
    // Reads the root's properties and children into it. Raises EReadError on a fault of the text,
    // a class not registered or a property the object does not have.
    void ReadRootComponent(TComponent *root);
    // The properties and then the children of a component (its ReadState calls it).
    void ReadData(TComponent *instance);
    // The component the children being read belong to, and their owner.
    TComponent *Parent() const noexcept { return parent_; }
    TComponent *Owner() const noexcept { return owner_; }

    // The value of a defined property.
    std::int64_t ReadInteger();
    bool ReadBoolean();
    double ReadFloat();
    std::wstring ReadString();
    std::wstring ReadIdent();

    void DefineProperty(const std::wstring &name, const TReaderProc &read, const TWriterProc &write,
                        bool hasData) override;

private:
    struct Fixup {
        std::function<void(TComponent *)> set;
        std::wstring name;
    };
    enum class Token : std::uint8_t { End, Ident, Number, String, Symbol };

    // The header "object Name: TClassName", or "object TClassName" (name left empty).
    void readHeader(std::wstring &name, std::wstring &className);
    // Marks the component loading and reading, names it unless name is empty, and keeps it for Loaded.
    void beginReading(TComponent *component, const std::wstring &name);
    void readComponent();
    // One property line; properties are the instance's, listed by the caller.
    void readProperty(TComponent *instance, TPropList &properties);
    void setValue(TPropInfo &info, const std::wstring &path);
    [[noreturn]] void error(const std::wstring &what) const;
    Token peek();
    std::wstring next(Token expected);
    bool atWord(const wchar_t *word);
    void expectSymbol(wchar_t symbol);

    std::wstring text_;
    std::size_t pos_ = 0;
    TComponent *parent_ = nullptr;
    TComponent *owner_ = nullptr;
    std::vector<TComponent *> loaded_;
    std::vector<Fixup> fixups_;
    std::wstring pendingName_;
    bool pendingFound_ = false;
};

class TWriter : public TFiler {
    CL_CLASS(TWriter, TFiler)

public:
    void Create(TStream *stream);
    void WriteRootComponent(TComponent *root) { WriteDescendent(root, nullptr); }
    // Writes root, leaving out what equals the ancestor's (its components matched by name).
    void WriteDescendent(TComponent *root, TComponent *ancestor);
    // The properties and then the children of a component (its WriteState calls it).
    void WriteData(TComponent *instance);

    // The value of a defined property.
    void WriteInteger(std::int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(double value);
    void WriteString(const std::wstring &value);
    void WriteIdent(const std::wstring &value);

    void DefineProperty(const std::wstring &name, const TReaderProc &read, const TWriterProc &write,
                        bool hasData) override;

private:
    void writeComponent(TComponent *component);
    void writeProperties(TPersistent *instance, TPersistent *ancestor, const std::wstring &prefix);
    // An indented line: text, then what value writes, when given.
    void line(const std::wstring &text, const TWriterProc &value = nullptr);

    TComponent *rootAncestor_ = nullptr;
    std::wstring out_;
    std::wstring prefix_;
    int depth_ = 0;
};

#endif
