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
constexpr size_t inlineTokenSize = 256;
constexpr size_t inlineDepth = 256;

enum Container : unsigned char { inArray, inObject };

// The address is the reader's tag on the thread's abort stack.
constexpr char readerTag = 0;

// Lives in the frame of jsonParse; nothing here has a destructor, as an abort jumps over frames.
struct Parse {
    jmp_buf unwind;
    const unsigned char *pos;
    const unsigned char *lastStart; // start of the last character read; null before the first
    const unsigned char *end;       // the text's NUL
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
    char inlineToken[inlineTokenSize];
    unsigned char inlineContainers[inlineDepth];
};

// Byte classes of the text. A byte of a character of two or three bytes is never one of the
// characters the reader looks for, so the text is scanned bytewise; only C0 (always C0 80, as the
// text was checked) stands for a character at or below U+0020.
struct ByteClasses {
    bool bare[256];   // may be part of a bare token
    bool ending[256]; // may end a quoted token, or needs a closer look inside one
};

constexpr ByteClasses makeByteClasses() {
    ByteClasses classes{};
    for (int b = 0x21; b < 256; ++b)
        classes.bare[b] = b != 0xC0;
    for (const char *d = ",:]}/\\\"[{;=#"; *d != '\0'; ++d)
        classes.bare[static_cast<unsigned char>(*d)] = false;
    classes.ending[0] = true;
    for (const char *e = "\n\r\"'\\"; *e != '\0'; ++e)
        classes.ending[static_cast<unsigned char>(*e)] = true;
    return classes;
}

constexpr ByteClasses byteClasses = makeByteClasses();

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

inline bool plainBlock(const unsigned char *s) {
    uint32_t a, b;
    memcpy(&a, s, sizeof a);
    memcpy(&b, s + sizeof a, sizeof b);
    // Zero in every byte's top bit when all eight bytes lie in 01-7F.
    return (((a - 0x01010101u) | a | (b - 0x01010101u) | b) & 0x80808080u) == 0;
}

// The text's NUL, or null when the text before it is no modified UTF-8: one to three bytes,
// C0 80 for U+0000, surrogates as three-byte forms; no four-byte forms, no other over-long forms,
// no stray continuation bytes. Runs of plain characters go eight bytes at a time, in aligned
// blocks: a block that holds the NUL lies within the same page as it, so no read can fault.
const unsigned char *validatedEnd(const unsigned char *s) {
    auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    for (;;) {
        if ((reinterpret_cast<uintptr_t>(s) & 7) == 0)
            while (plainBlock(s))
                s += 8;
        unsigned char b = *s;
        if (b < 0x80) {
            if (b == 0)
                return s;
            ++s;
        } else if (b >= 0xC0 && b < 0xE0) {
            if (!continuation(s[1]) || (b == 0xC0 && s[1] != 0x80) || b == 0xC1)
                return nullptr;
            s += 2;
        } else if (b >= 0xE0 && b < 0xF0) {
            if (!continuation(s[1]) || !continuation(s[2]) || (b == 0xE0 && s[1] < 0xA0))
                return nullptr;
            s += 3;
        } else {
            return nullptr;
        }
    }
}

int charLength(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3; }

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

// The next character above U+0020 outside comments: its first byte (any value from 80 up stands
// for a character beyond U+007F), or end of text. Either way lastStart is where it starts.
int nextSignificant(Parse *p) {
    const unsigned char *s = p->pos;
    for (;;) {
        unsigned char b = *s;
        if (b > 0x20 && b != '/' && b != 0xC0) {
            p->lastStart = s;
            p->pos = s + charLength(b);
            return b;
        }
        if (b == 0) {
            p->lastStart = p->pos = s;
            return endOfText;
        }
        if (b == '/') {
            if (s[1] == '/') {
                s += 2;
                while (*s != '\0' && *s != '\n')
                    ++s;
            } else if (s[1] == '*') {
                s += 2;
                while (*s != '\0' && !(*s == '*' && s[1] == '/')) {
                    if (*s == '\n')
                        ++p->line;
                    ++s;
                }
                if (*s != '\0')
                    s += 2;
                continue;
            } else {
                p->lastStart = s;
                p->pos = s + 1;
                return b;
            }
        }
        if (*s == '\n')
            ++p->line;
        if (*s != '\0')
            s += *s == 0xC0 ? 2 : 1;
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

// Room for count more bytes and the final NUL. The capacity doubles, so that a long token costs
// time in step with its length; when twice cannot be had, just enough is tried.
__attribute__((noinline)) void growToken(Parse *p, size_t count) {
    size_t needed = p->tokenLength + count + 1;
    if (needed <= count)
        fail(p, "Out of memory");
    size_t doubled = p->tokenCapacity * 2;
    if (doubled < needed)
        doubled = needed;
    void *grown = nullptr;
    if (p->token == p->inlineToken) {
        grown = gsMalloc(doubled);
        if (grown == nullptr)
            grown = gsMalloc(doubled = needed);
        if (grown != nullptr)
            memcpy(grown, p->token, p->tokenLength);
    } else {
        grown = gsRealloc(p->token, doubled);
        if (grown == nullptr)
            grown = gsRealloc(p->token, doubled = needed);
    }
    if (grown == nullptr)
        fail(p, "Out of memory");
    p->token = static_cast<char *>(grown);
    p->tokenCapacity = doubled;
}

inline void reserveToken(Parse *p, size_t count) {
    if (count >= p->tokenCapacity - p->tokenLength)
        growToken(p, count);
}

void appendBytes(Parse *p, const unsigned char *bytes, size_t count) {
    reserveToken(p, count);
    char *to = p->token + p->tokenLength;
    // Most runs between escapes are short: a call would cost more than the copy.
    if (count <= 16)
        for (size_t i = 0; i < count; ++i)
            to[i] = static_cast<char>(bytes[i]);
    else
        memcpy(to, bytes, count);
    p->tokenLength += count;
}

void appendCode(Parse *p, int code) {
    reserveToken(p, 3);
    char *at = p->token + p->tokenLength;
    if (code != 0 && code < 0x80) {
        at[0] = static_cast<char>(code);
        p->tokenLength += 1;
    } else if (code < 0x800) {
        at[0] = static_cast<char>(0xC0 | (code >> 6));
        at[1] = static_cast<char>(0x80 | (code & 0x3F));
        p->tokenLength += 2;
    } else {
        at[0] = static_cast<char>(0xE0 | (code >> 12));
        at[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        at[2] = static_cast<char>(0x80 | (code & 0x3F));
        p->tokenLength += 3;
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

// An escape other than the one-letter ones, whose letter is read next.
int codeEscape(Parse *p) {
    switch (readChar(p)) {
    case endOfText: fail(p, "Unterminated string");
    case 'u': return escapedCode(p, 4);
    case 'x': return escapedCode(p, 2);
    default: fail(p, "Bad escape sequence");
    }
}

int simpleEscape(unsigned char c) {
    switch (c) {
    case 'b': return 0x08;
    case 'f': return 0x0C;
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    default: return 0;
    }
}

// The value of count hexadecimal digits, or -1 when any of them is something else. A NUL is no
// digit, so nothing past the end of the text is read.
int wholeHex(const unsigned char *s, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        unsigned char c = s[i], lower = static_cast<unsigned char>(c | 0x20);
        int digit = c >= '0' && c <= '9' ? c - '0' : lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Characters other than escapes are stored as they stand: re-encoding a checked character gives
// back its own bytes. Runs between escapes are copied whole.
void readQuoted(Parse *p, unsigned char quote) {
    const unsigned char *s = p->pos;
    const unsigned char *run = s;
    for (;;) {
        while (!byteClasses.ending[*s])
            ++s;
        unsigned char b = *s;
        if ((b == '"' || b == '\'') && b != quote) {
            ++s;
            continue;
        }
        appendBytes(p, run, static_cast<size_t>(s - run));
        p->lastStart = s;
        p->pos = s + 1;
        if (b == quote)
            return;
        if (b != '\\') {
            if (b == '\n')
                ++p->line;
            else if (b == '\0')
                p->pos = s;
            fail(p, "Unterminated string");
        }
        int simple = simpleEscape(s[1]);
        int code;
        if (simple != 0) {
            reserveToken(p, 1);
            p->token[p->tokenLength++] = static_cast<char>(simple);
            s += 2;
        } else if ((s[1] == 'u' || s[1] == 'x') && (code = wholeHex(s + 2, s[1] == 'u' ? 4 : 2)) >= 0) {
            appendCode(p, code);
            s += s[1] == 'u' ? 6 : 4;
        } else {
            appendCode(p, codeEscape(p));
            s = p->pos;
        }
        run = s;
    }
}

// A token read into the token buffer, from the character just returned by nextSignificant.
void readQuotedToken(Parse *p, unsigned char quote) {
    p->tokenStart = p->lastStart;
    p->tokenLength = 0;
    readQuoted(p, quote);
    p->token[p->tokenLength] = '\0';
}

struct Bare {
    const unsigned char *begin;
    const unsigned char *end;
    size_t length() const { return static_cast<size_t>(end - begin); }
};

// A bare token, in place in the text, from the character just returned by nextSignificant; reading
// goes on with the character that ended it.
Bare readBare(Parse *p) {
    const unsigned char *s = p->lastStart;
    p->tokenStart = s;
    while (byteClasses.bare[*s])
        ++s;
    p->lastStart = p->pos = s;
    if (s == p->tokenStart)
        fail(p, "Missing value");
    return {p->tokenStart, s};
}

void copyBare(Parse *p, Bare bare) {
    p->tokenLength = 0;
    appendBytes(p, bare.begin, bare.length());
    p->token[p->tokenLength] = '\0';
}

// A member name or string value.
void readToken(Parse *p, int c) {
    if (c == '"' || c == '\'')
        readQuotedToken(p, static_cast<unsigned char>(c));
    else
        copyBare(p, readBare(p));
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

bool bareIs(Bare bare, const char *word, size_t length) {
    if (bare.length() != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if ((bare.begin[i] | 0x20) != word[i])
            return false;
    return true;
}

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// What "%I64i" reads as its only field: sign, then "0x" hexadecimal, leading-0 octal or decimal.
// A value outside the signed 64-bit range is no integer.
bool bareInteger(Bare bare, int64_t *value) {
    const unsigned char *s = bare.begin;
    const unsigned char *end = bare.end;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        ++s;
    unsigned base = 10;
    if (end - s >= 2 && s[0] == '0' && (s[1] | 0x20) == 'x') {
        base = 16;
        s += 2;
    } else if (s < end && s[0] == '0') {
        base = 8;
    }
    if (s == end)
        return false;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    // Fifteen digits of any of the bases stay below 2^60: only longer ones need the range check,
    // whose division per digit would cost more than all the rest.
    const bool checked = end - s > 15;
    uint64_t magnitude = 0;
    for (; s < end; ++s) {
        unsigned char c = static_cast<unsigned char>(*s | 0x20);
        unsigned digit = isDigit(*s) ? static_cast<unsigned>(*s - '0')
                         : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10) : 99;
        if (digit >= base)
            return false;
        if (checked && magnitude > (limit - digit) / base)
            return false;
        magnitude = magnitude * base + digit;
    }
    *value = negative ? static_cast<int64_t>(uint64_t{0} - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Whether the token contains '.' or a lower-case 'e' and is wholly a number of scanDecimal's
// grammar: sign, digits with an optional '.' and fraction, exponent only when digits follow it.
bool bareFraction(Bare bare) {
    const unsigned char *s = bare.begin;
    const unsigned char *end = bare.end;
    bool marked = false;
    if (*s == '+' || *s == '-')
        ++s;
    const unsigned char *digitsFrom = s;
    while (s < end && isDigit(*s))
        ++s;
    size_t digits = static_cast<size_t>(s - digitsFrom);
    if (s < end && *s == '.') {
        marked = true;
        digitsFrom = ++s;
        while (s < end && isDigit(*s))
            ++s;
        digits += static_cast<size_t>(s - digitsFrom);
    }
    if (digits == 0)
        return false;
    if (s < end && (*s | 0x20) == 'e') {
        const unsigned char *e = s + 1;
        if (e < end && (*e == '+' || *e == '-'))
            ++e;
        if (e < end && isDigit(*e)) {
            marked = marked || *s == 'e';
            while (e < end && isDigit(*e))
                ++e;
            s = e;
        }
    }
    return marked && s == end;
}

void readScalar(Parse *p, int c) {
    if (c == '"' || c == '\'') {
        readQuotedToken(p, static_cast<unsigned char>(c));
        emitToken(p, JSON_STRING);
        return;
    }
    Bare bare = readBare(p);
    int64_t value;
    if (bareIs(bare, "false", 5)) {
        emit(p, JSON_FALSE, nullptr);
    } else if (bareIs(bare, "true", 4)) {
        emit(p, JSON_TRUE, nullptr);
    } else if (bareIs(bare, "null", 4)) {
        emit(p, JSON_NULL, nullptr);
    } else if (bareFraction(bare)) {
        // Accepted, and no element carries it.
    } else if (bareInteger(bare, &value)) {
        emit(p, JSON_INTEGER, &value);
    } else {
        copyBare(p, bare);
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
    p->end = validatedEnd(p->pos);
    if (p->end == nullptr)
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
    parse.end = nullptr;
    parse.tokenStart = nullptr;
    parse.callback = callback;
    parse.userData = userData;
    parse.error = errorBuffer;
    parse.errorSize = errorSize;
    parse.token = parse.inlineToken;
    parse.tokenLength = 0;
    parse.tokenCapacity = inlineTokenSize;
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
