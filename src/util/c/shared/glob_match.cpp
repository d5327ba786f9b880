#include "sarnik/glob.h"

#include <stdarg.h>
#include <stdint.h>

#include "glob_subject.h"
#include "osal/mspace.h"

namespace sarnik {

namespace {

// The subject read as one text, p0 s0 p1 .. p(n-1), without joining it.
class Cursor {
public:
    Cursor(const GlobSubject &subject) : subject_(&subject), p_(subject.piece(0)) { settle(); }

    // 0 at the end of the subject.
    unsigned char current() const {
        return inSeparator_ ? static_cast<unsigned char>(subject_->separators[piece_])
                            : static_cast<unsigned char>(*p_);
    }

    void advance() {
        if (inSeparator_) {
            inSeparator_ = false;
            p_ = subject_->piece(++piece_);
        } else {
            ++p_;
        }
        settle();
    }

private:
    // Past the end of a piece: its separator, or straight on to the next piece when that is NUL.
    void settle() {
        while (!inSeparator_ && *p_ == '\0' && piece_ < subject_->count - 1) {
            if (subject_->separators != nullptr && subject_->separators[piece_] != '\0') {
                inSeparator_ = true;
                return;
            }
            p_ = subject_->piece(++piece_);
        }
    }

    const GlobSubject *subject_;
    int piece_ = 0;
    const char *p_;
    bool inSeparator_ = false;
};

} // namespace

const char *GlobSubject::piece(int index) const {
    if (count <= 0 || pieces[index] == nullptr)
        return "";
    return pieces[index];
}

// With '*' the only wildcard, retrying from the last star alone finds every match that trying
// each star in turn would find, in time bounded by pattern times subject length.
bool globMatches(const char *pattern, const GlobSubject &subject) {
    if (pattern == nullptr)
        return false;
    Cursor at(subject);
    const char *p = pattern;
    const char *afterStar = nullptr;
    Cursor starAt = at;
    for (;;) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (*p == '\0')
                return true;
            afterStar = p;
            starAt = at;
            continue;
        }
        unsigned char c = at.current();
        if (*p != '\0' && c != 0 && static_cast<unsigned char>(*p) == c) {
            ++p;
            at.advance();
            continue;
        }
        if (*p == '\0' && c == 0)
            return true;
        if (afterStar == nullptr || starAt.current() == 0)
            return false;
        starAt.advance();
        at = starAt;
        p = afterStar;
    }
}

GlobPieces::GlobPieces(int count, va_list args) {
    if (count <= 0) {
        count_ = 0;
        return;
    }
    if (count > inlineCount) {
        if (static_cast<size_t>(count) > SIZE_MAX / (sizeof(const char *) + 1))
            return;
        texts_ = static_cast<const char **>(gsMalloc(count * (sizeof(const char *) + 1)));
        if (texts_ == nullptr)
            return;
        separators_ = reinterpret_cast<char *>(texts_ + count);
    }
    for (int i = 0; i < count; ++i) {
        texts_[i] = va_arg(args, const char *);
        separators_[i] = static_cast<char>(va_arg(args, int));
    }
    count_ = count;
}

GlobPieces::~GlobPieces() {
    if (texts_ != inlineTexts_)
        gsFree(texts_);
}

} // namespace sarnik

using namespace sarnik;

int globMatch(const char *pattern, const char *text) {
    if (text == nullptr)
        return 0;
    GlobSubject subject{&text, 1, nullptr};
    return globMatches(pattern, subject) ? 1 : 0;
}

int globMatchArray(const char *pattern, const char *const *pieces, int count, const char *separators) {
    if (pieces == nullptr && count > 0)
        return 0;
    return globMatches(pattern, GlobSubject{pieces, count, separators}) ? 1 : 0;
}

int globMatchList(const char *pattern, int count, ...) {
    va_list args;
    va_start(args, count);
    int result = 0;
    {
        GlobPieces gathered(count, args);
        result = gathered.ok() && globMatches(pattern, gathered.subject()) ? 1 : 0;
    }
    va_end(args);
    return result;
}
