#include "sarnik/json_reader.h"

#include <setjmp.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "json_abort_stack.h"
#include "number_scan.h"
#include "osal/mspace.h"
#include "osal/osal_assert.h"
#include "sarnik/bounded_print.h"

using namespace sarnik;

namespace {

constexpr int endOfText = -1;
constexpr size_t tokenStep = 256;
constexpr size_t inlineDepth = 256;

enum Container : unsigned char { inArray, inObject };

// The address is the reader's tag on the thread's abort stack.
constexpr char readerTag = 0;

// Lives in the frame of jsonParse; nothing here has a destructor, as an abort jumps over frames.
struct Parse {
    jmp_buf unwind;
    const unsigned char *pos;
    const unsigned char *lastStart; // start of the last character read; null before the first
    const unsigned char *end;
    const unsigned char *tokenStart; // of the element being read; cleared after each callback
    JsonCallback callback;
    void *userData;
    char *error;
    size_t errorSize;
    char *token;
    size_t tokenLength;
    size_t tokenCapacity;
    unsigned line;
    unsigned char *containers; // open arrays and objects, innermost last
    size_t depth;
    size_t depthCapacity;
    char inlineToken[tokenStep];
    unsigned char inlineContainers[inlineDepth];
};

void appendPosition(Parse *p) {
    const unsigned char *at = p->tokenStart != nullptr ? p->tokenStart : p->lastStart;
    if (at == nullptr)
        return;
    size_t used = strlen(p->error);
    if (used + 1 >= p->errorSize)
        return;
    int written = vantrel_util_snprintf(p->error + used, p->errorSize - used, ", line %u, \"", p->line);
    if (written < 0)
        return;
    used += static_cast<size_t>(written);
    if (p->errorSize - used < 2)
        return;
    size_t room = p->errorSize - used - 2;
    size_t length = 0;
    // A line of a file written on Windows ends with "\r\n": the carriage return stays out too.
    while (at + length < p->end && length < room && at[length] != '\n' && at[length] != '\r')
        ++length;
    // Never half a character.
    if (at + length < p->end && (at[length] & 0xC0) == 0x80)
        while (length > 0 && (at[length] & 0xC0) == 0x80)
            --length;
    memcpy(p->error + used, at, length);
    used += length;
    p->error[used++] = '"';
    p->error[used] = '\0';
}

[[noreturn]] void abortWith(Parse *p, const char *format, va_list args) {
    vantrel_util_vsnprintf(p->error, p->errorSize, format, args);
    appendPosition(p);
    longjmp(p->unwind, -1);
}

[[noreturn]] void fail(Parse *p, const char *message) {
    p->error[0] = '\0';
    strncat(p->error, message, p->errorSize - 1);
    appendPosition(p);
    longjmp(p->unwind, -1);
}

// Modified UTF-8: one to three bytes, C0 80 for U+0000, surrogates as three-byte forms; no
// four-byte forms, no other over-long forms, no stray continuation bytes.
bool validText(const unsigned char *p, const unsigned char *end) {
    auto continuation = [end](const unsigned char *q) { return q < end && (*q & 0xC0) == 0x80; };
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            ++p;
        } else if (b >= 0xC0 && b < 0xE0) {
            if (!continuation(p + 1) || (b == 0xC0 && p[1] != 0x80) || b == 0xC1)
                return false;
            p += 2;
        } else if (b >= 0xE0 && b < 0xF0) {
            if (!continuation(p + 1) || !continuation(p + 2) || (b == 0xE0 && p[1] < 0xA0))
                return false;
            p += 3;
        } else {
            return false;
        }
    }
    return true;
}

// The text was checked before reading began, so every sequence is whole.
int readChar(Parse *p) {
    p->lastStart = p->pos;
    if (p->pos >= p->end)
        return endOfText;
    const unsigned char *s = p->pos;
    int code;
    if (s[0] < 0x80) {
        code = s[0];
        p->pos += 1;
    } else if (s[0] < 0xE0) {
        code = ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
        p->pos += 2;
    } else {
        code = ((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
        p->pos += 3;
    }
    if (code == '\n')
        ++p->line;
    return code;
}

void unread(Parse *p, int code) {
    p->pos = p->lastStart;
    if (code == '\n')
        --p->line;
}

int nextSignificant(Parse *p) {
    for (;;) {
        int c = readChar(p);
        if (c == endOfText)
            return c;
        if (c <= 0x20)
            continue;
        if (c != '/' || p->pos >= p->end || (*p->pos != '/' && *p->pos != '*'))
            return c;
        if (*p->pos++ == '/') {
            while ((c = readChar(p)) != endOfText && c != '\n') {
            }
        } else {
            for (;;) {
                c = readChar(p);
                if (c == endOfText)
                    break;
                if (c == '*' && p->pos < p->end && *p->pos == '/') {
                    ++p->pos;
                    break;
                }
            }
        }
    }
}

// A buffer that starts inside the parse state moves to the global memory space when it grows.
void *grow(Parse *p, void *block, void *inlineBlock, size_t used, size_t capacity) {
    void *grown;
    if (block == inlineBlock) {
        grown = gsMalloc(capacity);
        if (grown != nullptr)
            memcpy(grown, block, used);
    } else {
        grown = gsRealloc(block, capacity);
    }
    if (grown == nullptr)
        fail(p, "Out of memory");
    return grown;
}

void appendByte(Parse *p, unsigned char byte) {
    if (p->tokenLength + 2 > p->tokenCapacity) {
        p->tokenCapacity += tokenStep;
        p->token = static_cast<char *>(grow(p, p->token, p->inlineToken, p->tokenLength, p->tokenCapacity));
    }
    p->token[p->tokenLength++] = static_cast<char>(byte);
}

void appendCode(Parse *p, int code) {
    if (code != 0 && code < 0x80) {
        appendByte(p, static_cast<unsigned char>(code));
    } else if (code < 0x800) {
        appendByte(p, static_cast<unsigned char>(0xC0 | (code >> 6)));
        appendByte(p, static_cast<unsigned char>(0x80 | (code & 0x3F)));
    } else {
        appendByte(p, static_cast<unsigned char>(0xE0 | (code >> 12)));
        appendByte(p, static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F)));
        appendByte(p, static_cast<unsigned char>(0x80 | (code & 0x3F)));
    }
}

// The next count characters, read as scanf's "%x" reads: blanks, then digits up to the first
// other character; whatever follows inside the count is dropped.
int escapedCode(Parse *p, int count) {
    int codes[4];
    for (int i = 0; i < count; ++i) {
        codes[i] = readChar(p);
        if (codes[i] == endOfText)
            fail(p, "Unexpected end of input");
    }
    int i = 0;
    while (i < count && codes[i] < 0x80 && isBlank(static_cast<char>(codes[i])))
        ++i;
    int value = 0;
    bool digits = false;
    for (; i < count; ++i) {
        int c = codes[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
        if (digit < 0)
            break;
        value = value * 16 + digit;
        digits = true;
    }
    if (!digits)
        fail(p, "Bad format number");
    return value;
}

void readQuoted(Parse *p, int quote) {
    for (;;) {
        int c = readChar(p);
        if (c == endOfText || c == '\n' || c == '\r')
            fail(p, "Unterminated string");
        if (c == quote)
            return;
        if (c == '\\') {
            int escape = readChar(p);
            switch (escape) {
            case endOfText: fail(p, "Unterminated string");
            case 'b': c = 0x08; break;
            case 'f': c = 0x0C; break;
            case 'n': c = 0x0A; break;
            case 'r': c = 0x0D; break;
            case 't': c = 0x09; break;
            case 'u': c = escapedCode(p, 4); break;
            case 'x': c = escapedCode(p, 2); break;
            default: fail(p, "Bad escape sequence");
            }
        }
        appendCode(p, c);
    }
}

bool isDelimiter(int c) {
    switch (c) {
    case ',': case ':': case ']': case '}': case '/': case '\\':
    case '"': case '[': case '{': case ';': case '=': case '#':
        return true;
    default:
        return false;
    }
}

// A quoted or bare token whose first character c was just read; true when it was quoted.
bool readToken(Parse *p, int c) {
    p->tokenStart = p->lastStart;
    p->tokenLength = 0;
    bool quoted = c == '"' || c == '\'';
    if (quoted) {
        readQuoted(p, c);
    } else {
        while (c != endOfText && c > 0x20 && !isDelimiter(c)) {
            appendCode(p, c);
            c = readChar(p);
        }
        unread(p, c);
        if (p->tokenLength == 0)
            fail(p, "Missing value");
    }
    p->token[p->tokenLength] = '\0';
    return quoted;
}

void emit(Parse *p, JsonElementType type, const void *value) {
    if (p->callback != nullptr)
        p->callback(type, value, p->userData);
    p->tokenStart = nullptr;
}

void emitToken(Parse *p, JsonElementType type) {
    JsonString text{p->token, p->tokenLength};
    emit(p, type, &text);
}

bool tokenIs(const Parse *p, const char *word) {
    size_t length = strlen(word);
    if (p->tokenLength != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if ((p->token[i] | 0x20) != word[i])
            return false;
    return true;
}

// What "%I64i" reads as its only field: sign, then "0x" hexadecimal, leading-0 octal or decimal.
// A value outside the signed 64-bit range is no integer.
bool tokenInteger(const Parse *p, int64_t *value) {
    const char *s = p->token;
    const char *end = s + p->tokenLength;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    unsigned base = 10;
    if (s[0] == '0' && (s[1] | 0x20) == 'x') {
        base = 16;
        s += 2;
    } else if (s[0] == '0') {
        base = 8;
    }
    if (s == end)
        return false;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; s < end; ++s) {
        char c = static_cast<char>(*s | 0x20);
        unsigned digit = c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0')
                         : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10) : 99;
        if (*s < '0' || digit >= base)
            return false;
        if (magnitude > (limit - digit) / base)
            return false;
        magnitude = magnitude * base + digit;
    }
    *value = negative ? static_cast<int64_t>(uint64_t{0} - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool tokenFraction(const Parse *p) {
    if (memchr(p->token, '.', p->tokenLength) == nullptr && memchr(p->token, 'e', p->tokenLength) == nullptr)
        return false;
    DecimalScan scan = scanDecimal(p->token);
    return scan.found && scan.after == p->token + p->tokenLength && !isBlank(p->token[0]);
}

void readScalar(Parse *p, int c) {
    if (readToken(p, c)) {
        emitToken(p, JSON_STRING);
    } else if (tokenIs(p, "false")) {
        emit(p, JSON_FALSE, nullptr);
    } else if (tokenIs(p, "true")) {
        emit(p, JSON_TRUE, nullptr);
    } else if (tokenIs(p, "null")) {
        emit(p, JSON_NULL, nullptr);
    } else if (tokenFraction(p)) {
        // Accepted, and no element carries it.
    } else {
        int64_t value;
        if (tokenInteger(p, &value))
            emit(p, JSON_INTEGER, &value);
        else
            emitToken(p, JSON_STRING);
    }
}

// Nesting is kept in memory rather than on the stack, so that deep text cannot overflow it.
void open(Parse *p, Container kind) {
    if (p->depth == p->depthCapacity) {
        p->depthCapacity *= 2;
        p->containers = static_cast<unsigned char *>(
            grow(p, p->containers, p->inlineContainers, p->depth, p->depthCapacity));
    }
    p->containers[p->depth++] = kind;
    emit(p, kind == inArray ? JSON_ARRAY_START : JSON_OBJECT_START, nullptr);
}

bool insideObject(const Parse *p) { return p->depth > 0 && p->containers[p->depth - 1] == inObject; }

// After a member's value: a separator, or the end of that object (and maybe of the ones around it).
void afterValue(Parse *p) {
    while (insideObject(p)) {
        int c = nextSignificant(p);
        if (c == ',' || c == ';')
            return;
        if (c != '}')
            fail(p, "Bad character");
        --p->depth;
        emit(p, JSON_OBJECT_END, nullptr);
    }
}

void close(Parse *p) {
    --p->depth;
    emit(p, p->containers[p->depth] == inArray ? JSON_ARRAY_END : JSON_OBJECT_END, nullptr);
    afterValue(p);
}

void readDocument(Parse *p) {
    int c = nextSignificant(p);
    if (c == '[')
        open(p, inArray);
    else if (c == '{')
        open(p, inObject);
    else
        fail(p, "Object must start with '{'");
    while (p->depth > 0) {
        if (insideObject(p)) {
            c = nextSignificant(p);
            if (c == '}') {
                close(p);
                continue;
            }
            if (c == endOfText)
                fail(p, "Object must end with '}'");
            readToken(p, c);
            emitToken(p, JSON_MEMBER_NAME);
            c = nextSignificant(p);
            if (c != ':' && c != '=')
                fail(p, "Unexpected char");
            c = nextSignificant(p);
        } else {
            // Separators between elements are optional, and empty elements vanish.
            do
                c = nextSignificant(p);
            while (c == ',');
            if (c == ']') {
                close(p);
                continue;
            }
        }
        if (c == '[') {
            open(p, inArray);
        } else if (c == '{') {
            open(p, inObject);
        } else {
            readScalar(p, c);
            afterValue(p);
        }
    }
}

__attribute__((noinline)) int runParse(Parse *p) {
    if (setjmp(p->unwind) != 0)
        return -1;
    if (!validText(p->pos, p->end))
        fail(p, "Illegal UTF8 text stream");
    readDocument(p);
    return 0;
}

void copyMessage(char *buffer, size_t size, const char *message) {
    buffer[0] = '\0';
    strncat(buffer, message, size - 1);
}

} // namespace

int jsonParse(const char *text, JsonCallback callback, void *userData, char *errorBuffer, size_t errorSize) {
    if (errorBuffer == nullptr || errorSize == 0)
        return -1;
    errorBuffer[0] = '\0';
    if (text == nullptr)
        text = "";
    Parse parse;
    parse.pos = reinterpret_cast<const unsigned char *>(text);
    parse.lastStart = nullptr;
    parse.end = parse.pos + strlen(text);
    parse.tokenStart = nullptr;
    parse.callback = callback;
    parse.userData = userData;
    parse.error = errorBuffer;
    parse.errorSize = errorSize;
    parse.token = parse.inlineToken;
    parse.tokenLength = 0;
    parse.tokenCapacity = tokenStep;
    parse.line = 1;
    parse.containers = parse.inlineContainers;
    parse.depth = 0;
    parse.depthCapacity = inlineDepth;
    AbortEntry entry{&readerTag, nullptr, &parse};
    if (!abortStackPush(&entry)) {
        copyMessage(errorBuffer, errorSize, "Out of memory");
        return -1;
    }
    int result = runParse(&parse);
    abortStackPop(&entry);
    if (parse.token != parse.inlineToken)
        gsFree(parse.token);
    if (parse.containers != parse.inlineContainers)
        gsFree(parse.containers);
    return result;
}

void jsonAbort(const char *format, ...) {
    AbortEntry *entry = abortStackFind(&readerTag);
    if (entry == nullptr) {
        assertReport("entry != NULL", __FILE__, __LINE__, "jsonAbort", "jsonAbort called outside a parse");
        abort();
    }
    va_list args;
    va_start(args, format);
    abortWith(static_cast<Parse *>(entry->context), format, args);
}
