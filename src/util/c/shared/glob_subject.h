// A subject given in pieces, shared by the glob functions and the pattern sets.
#ifndef SARNIK_GLOB_SUBJECT_H
#define SARNIK_GLOB_SUBJECT_H

#include <stdarg.h>

namespace sarnik {

struct GlobSubject {
    const char *const *pieces;
    int count;              // 0 or less: the empty subject
    const char *separators; // null: all NUL
    const char *piece(int index) const;
};

bool globMatches(const char *pattern, const GlobSubject &subject);

// The (text, separator) pairs of a variable argument list, gathered so that matching can go back.
class GlobPieces {
public:
    GlobPieces(int count, va_list args);
    ~GlobPieces();
    GlobPieces(const GlobPieces &) = delete;
    GlobPieces &operator=(const GlobPieces &) = delete;

    // False when the arrays for a long list could not be had.
    bool ok() const { return count_ >= 0; }
    GlobSubject subject() const { return GlobSubject{texts_, count_, separators_}; }

private:
    static constexpr int inlineCount = 16;
    const char *inlineTexts_[inlineCount];
    char inlineSeparators_[inlineCount];
    const char **texts_ = inlineTexts_;
    char *separators_ = inlineSeparators_;
    int count_ = -1;
};

} // namespace sarnik

#endif
