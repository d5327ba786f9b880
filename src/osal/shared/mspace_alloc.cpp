// The allocator inside a memory space. Every function here runs with the space's lock held when
// the space uses one; growth takes the lock itself in spaces that otherwise don't lock.
#include <stdlib.h>
#include <string.h>

#include "mspace_internal.h"

namespace mspace {

namespace {

// ---- bins and maps -------------------------------------------------------------------------

inline unsigned bitFor(unsigned index) { return 1u << index; }
inline unsigned lowestBit(unsigned bits) { return bits & (0u - bits); }
inline unsigned bitIndex(unsigned bit) { return static_cast<unsigned>(__builtin_ctz(bit)); }
// Every bit above the given one.
inline unsigned bitsAbove(unsigned bit) { return (bit << 1) | (0u - (bit << 1)); }

inline bool isSmall(size_t size) { return (size >> smallBinShift) < smallBinCount; }
inline unsigned smallIndex(size_t size) { return static_cast<unsigned>(size >> smallBinShift); }
inline size_t smallIndexSize(unsigned index) { return static_cast<size_t>(index) << smallBinShift; }

// The bin header doubles as the sentinel chunk of its ring: its fd and bk sit where a chunk's do.
inline Chunk *smallBin(MSpaceRecord *m, unsigned index) {
    return reinterpret_cast<Chunk *>(reinterpret_cast<char *>(&m->smallBins[index]) - offsetof(Chunk, fd));
}

inline unsigned treeIndex(size_t size) {
    size_t x = size >> treeBinShift;
    if (x == 0)
        return 0;
    if (x > 0xFFFF)
        return treeBinCount - 1;
    unsigned k = 31u - static_cast<unsigned>(__builtin_clz(static_cast<unsigned>(x)));
    return (k << 1) + static_cast<unsigned>((size >> (k + treeBinShift - 1)) & 1);
}

// How far a size is shifted so that the bits below the bin's leading ones steer down its tree.
inline unsigned treeShift(unsigned index) {
    return index == treeBinCount - 1 ? 0 : 31u - ((index >> 1) + treeBinShift - 2);
}

inline TreeChunk *leftmostChild(TreeChunk *t) { return t->child[0] != nullptr ? t->child[0] : t->child[1]; }

[[noreturn]] void corrupted(MSpaceRecord *m, const void *where) {
    reportUsageError(m, where, "heap corrupted");
    abort();
}

inline bool okAddress(MSpaceRecord *m, const void *p) { return static_cast<const char *>(p) >= m->leastAddress; }

// ---- marking chunks ------------------------------------------------------------------------

inline void setFoot(Chunk *p, size_t size) { chunkAt(p, size)->prevFoot = size; }
inline void setFreeChunk(Chunk *p, size_t size) {
    p->head = size | prevInUse;
    setFoot(p, size);
}
inline void setFreeWithPrevInUse(Chunk *p, size_t size, Chunk *next) {
    next->head &= ~prevInUse;
    setFreeChunk(p, size);
}
// In use, previous in use, and the successor learns it.
inline void setInUseAndPrev(Chunk *p, size_t size) {
    p->head = size | inUseBits;
    chunkAt(p, size)->head |= prevInUse;
}
inline void setInUseHead(Chunk *p, size_t size) { p->head = size | inUseBits; }
// Keeps what the chunk knew of its predecessor.
inline void setInUse(Chunk *p, size_t size) {
    p->head = (p->head & prevInUse) | size | thisInUse;
    chunkAt(p, size)->head |= prevInUse;
}

// ---- small bins ----------------------------------------------------------------------------

void insertSmall(MSpaceRecord *m, Chunk *p, size_t size) {
    unsigned index = smallIndex(size);
    Chunk *bin = smallBin(m, index);
    Chunk *first = bin;
    if ((m->smallMap & bitFor(index)) == 0)
        m->smallMap |= bitFor(index);
    else {
        first = bin->fd;
        if (!okAddress(m, first))
            corrupted(m, first);
    }
    bin->fd = p;
    first->bk = p;
    p->fd = first;
    p->bk = bin;
}

void unlinkSmall(MSpaceRecord *m, Chunk *p, size_t size) {
    Chunk *f = p->fd;
    Chunk *b = p->bk;
    if (f->bk != p || b->fd != p)
        corrupted(m, p);
    if (f == b)
        m->smallMap &= ~bitFor(smallIndex(size));
    f->bk = b;
    b->fd = f;
}

void unlinkFirstSmall(MSpaceRecord *m, Chunk *bin, Chunk *p, unsigned index) {
    Chunk *f = p->fd;
    if (p->bk != bin || f->bk != p)
        corrupted(m, p);
    if (f == bin)
        m->smallMap &= ~bitFor(index);
    bin->fd = f;
    f->bk = bin;
}

// ---- tree bins -----------------------------------------------------------------------------

void insertLarge(MSpaceRecord *m, TreeChunk *x, size_t size) {
    unsigned index = treeIndex(size);
    TreeChunk **root = &m->treeBins[index];
    x->index = index;
    x->child[0] = x->child[1] = nullptr;
    if ((m->treeMap & bitFor(index)) == 0) {
        m->treeMap |= bitFor(index);
        *root = x;
        x->parent = reinterpret_cast<TreeChunk *>(root);
        x->fd = x->bk = x;
        return;
    }
    TreeChunk *t = *root;
    size_t steer = size << treeShift(index);
    for (;;) {
        if (chunkSize(reinterpret_cast<Chunk *>(t)) != size) {
            TreeChunk **slot = &t->child[(steer >> 31) & 1];
            steer <<= 1;
            if (*slot != nullptr) {
                t = *slot;
                continue;
            }
            if (!okAddress(m, slot))
                corrupted(m, t);
            *slot = x;
            x->parent = t;
            x->fd = x->bk = x;
            return;
        }
        // Equal size: join the node's ring, outside the tree.
        TreeChunk *f = t->fd;
        if (!okAddress(m, t) || !okAddress(m, f))
            corrupted(m, t);
        t->fd = f->bk = x;
        x->fd = f;
        x->bk = t;
        x->parent = nullptr;
        return;
    }
}

void unlinkLarge(MSpaceRecord *m, TreeChunk *x) {
    TreeChunk *parent = x->parent;
    TreeChunk *replacement;
    if (x->bk != x) {
        TreeChunk *f = x->fd;
        replacement = x->bk;
        if (f->bk != x || replacement->fd != x)
            corrupted(m, x);
        f->bk = replacement;
        replacement->fd = f;
    } else {
        // Replace the node by a leaf of its subtree.
        TreeChunk **slot = &x->child[1];
        replacement = *slot;
        if (replacement == nullptr) {
            slot = &x->child[0];
            replacement = *slot;
        }
        if (replacement != nullptr) {
            for (;;) {
                TreeChunk **below = &replacement->child[1];
                if (*below == nullptr)
                    below = &replacement->child[0];
                if (*below == nullptr)
                    break;
                slot = below;
                replacement = *slot;
            }
            if (!okAddress(m, slot))
                corrupted(m, slot);
            *slot = nullptr;
        }
    }
    if (parent == nullptr)
        return; // it waited in a ring
    TreeChunk **root = &m->treeBins[x->index];
    if (x == *root) {
        *root = replacement;
        if (replacement == nullptr)
            m->treeMap &= ~bitFor(x->index);
    } else {
        if (!okAddress(m, parent))
            corrupted(m, parent);
        if (parent->child[0] == x)
            parent->child[0] = replacement;
        else
            parent->child[1] = replacement;
    }
    if (replacement == nullptr)
        return;
    replacement->parent = parent;
    for (int side = 0; side < 2; ++side) {
        if (TreeChunk *c = x->child[side]) {
            replacement->child[side] = c;
            c->parent = replacement;
        }
    }
}

void insertChunk(MSpaceRecord *m, Chunk *p, size_t size) {
    if (isSmall(size))
        insertSmall(m, p, size);
    else
        insertLarge(m, reinterpret_cast<TreeChunk *>(p), size);
}

void unlinkChunk(MSpaceRecord *m, Chunk *p, size_t size) {
    if (isSmall(size))
        unlinkSmall(m, p, size);
    else
        unlinkLarge(m, reinterpret_cast<TreeChunk *>(p));
}

// Makes p the designated victim, putting the old one in its bin.
void replaceVictim(MSpaceRecord *m, Chunk *p, size_t size) {
    if (m->dvSize != 0)
        insertChunk(m, m->dv, m->dvSize);
    m->dvSize = size;
    m->dv = p;
}

// ---- serving from the trees ----------------------------------------------------------------

// The best fit among the tree chunks for a large request.
void *allocateLargeFromTree(MSpaceRecord *m, size_t nb) {
    TreeChunk *best = nullptr;
    size_t rest = 0u - nb; // what the best fit leaves over
    unsigned index = treeIndex(nb);
    TreeChunk *t = m->treeBins[index];
    if (t != nullptr) {
        size_t steer = nb << treeShift(index);
        TreeChunk *deepestRight = nullptr; // the last right subtree passed by
        for (;;) {
            size_t trem = chunkSize(reinterpret_cast<Chunk *>(t)) - nb;
            if (trem < rest) {
                best = t;
                rest = trem;
                if (trem == 0)
                    break;
            }
            TreeChunk *right = t->child[1];
            t = t->child[(steer >> 31) & 1];
            if (right != nullptr && right != t)
                deepestRight = right;
            if (t == nullptr) {
                t = deepestRight; // the smallest chunks larger than the request lie there
                break;
            }
            steer <<= 1;
        }
    }
    if (t == nullptr && best == nullptr) {
        unsigned larger = bitsAbove(bitFor(index)) & m->treeMap;
        if (larger != 0)
            t = m->treeBins[bitIndex(lowestBit(larger))];
    }
    while (t != nullptr) {
        size_t trem = chunkSize(reinterpret_cast<Chunk *>(t)) - nb;
        if (trem < rest) {
            rest = trem;
            best = t;
        }
        t = leftmostChild(t);
    }
    // Use it only when it fits better than the designated victim.
    if (best == nullptr || rest >= m->dvSize - nb)
        return nullptr;
    Chunk *v = reinterpret_cast<Chunk *>(best);
    if (!okAddress(m, v))
        corrupted(m, v);
    unlinkLarge(m, best);
    if (rest < minChunkSize)
        setInUseAndPrev(v, rest + nb);
    else {
        setInUseHead(v, nb);
        Chunk *r = chunkAt(v, nb);
        setFreeChunk(r, rest);
        insertChunk(m, r, rest);
    }
    return chunkToMem(v);
}

// The smallest tree chunk for a small request that no small bin could serve.
void *allocateSmallFromTree(MSpaceRecord *m, size_t nb) {
    TreeChunk *t = m->treeBins[bitIndex(lowestBit(m->treeMap))];
    TreeChunk *best = t;
    size_t rest = chunkSize(reinterpret_cast<Chunk *>(t)) - nb;
    while ((t = leftmostChild(t)) != nullptr) {
        size_t trem = chunkSize(reinterpret_cast<Chunk *>(t)) - nb;
        if (trem < rest) {
            rest = trem;
            best = t;
        }
    }
    Chunk *v = reinterpret_cast<Chunk *>(best);
    if (!okAddress(m, v))
        corrupted(m, v);
    unlinkLarge(m, best);
    if (rest < minChunkSize)
        setInUseAndPrev(v, rest + nb);
    else {
        setInUseHead(v, nb);
        Chunk *r = chunkAt(v, nb);
        setFreeChunk(r, rest);
        replaceVictim(m, r, rest);
    }
    return chunkToMem(v);
}

// ---- segments and growth -------------------------------------------------------------------

void initialiseTop(MSpaceRecord *m, Chunk *p, size_t size) {
    size_t offset = alignOffset(chunkToMem(p));
    p = chunkAt(p, offset);
    size -= offset;
    m->top = p;
    m->topSize = size;
    p->head = size | prevInUse;
    // The fake chunk past the top keeps the segment's closing room.
    chunkAt(p, size)->head = topFootSize;
    m->trimCheck = trimThreshold;
}

void initialiseBins(MSpaceRecord *m) {
    for (unsigned i = 0; i < smallBinCount; ++i) {
        Chunk *bin = smallBin(m, i);
        bin->fd = bin->bk = bin;
    }
}

// Carves a request from the start of new memory that lies just before an old segment.
void *prependAllocation(MSpaceRecord *m, char *newBase, char *oldBase, size_t nb) {
    Chunk *p = alignAsChunk(newBase);
    Chunk *oldFirst = alignAsChunk(oldBase);
    size_t psize = static_cast<size_t>(reinterpret_cast<char *>(oldFirst) - reinterpret_cast<char *>(p));
    Chunk *q = chunkAt(p, nb);
    size_t qsize = psize - nb;
    setInUseHead(p, nb);
    if (oldFirst == m->top) {
        size_t tsize = m->topSize += qsize;
        m->top = q;
        q->head = tsize | prevInUse;
    } else if (oldFirst == m->dv) {
        size_t dsize = m->dvSize += qsize;
        m->dv = q;
        setFreeChunk(q, dsize);
    } else {
        if (!isInUse(oldFirst)) {
            size_t nsize = chunkSize(oldFirst);
            unlinkChunk(m, oldFirst, nsize);
            oldFirst = chunkAt(oldFirst, nsize);
            qsize += nsize;
        }
        setFreeWithPrevInUse(q, qsize, oldFirst);
        insertChunk(m, q, qsize);
    }
    return chunkToMem(p);
}

// New memory not adjacent to the top's segment becomes the top; the old segment is closed with
// the record of the old newest segment and fence headers.
void addSegment(MSpaceRecord *m, char *base, size_t size) {
    char *oldTop = reinterpret_cast<char *>(m->top);
    Segment *oldSegment = segmentHolding(m, oldTop);
    char *oldEnd = oldSegment->base + oldSegment->size;
    size_t recordSize = padRequest(sizeof(Segment));
    char *raw = oldEnd - (recordSize + 4 * wordSize + alignMask);
    char *aligned = raw + alignOffset(raw + memOffset);
    char *recordChunkAddress = aligned < oldTop + minChunkSize ? oldTop : aligned;
    Chunk *recordChunk = reinterpret_cast<Chunk *>(recordChunkAddress);
    Segment *record = static_cast<Segment *>(chunkToMem(recordChunk));
    Chunk *fence = chunkAt(recordChunk, recordSize);

    initialiseTop(m, reinterpret_cast<Chunk *>(base), size - topFootSize);

    setInUseHead(recordChunk, recordSize);
    *record = m->segment;
    m->segment.base = base;
    m->segment.size = size;
    m->segment.flags = 0;
    m->segment.next = record;

    for (;;) {
        Chunk *after = chunkAt(fence, wordSize);
        fence->head = fenceHead;
        if (reinterpret_cast<char *>(&after->head) < oldEnd)
            fence = after;
        else
            break;
    }

    // What was left of the old top goes to the bins.
    if (recordChunkAddress != oldTop) {
        Chunk *q = reinterpret_cast<Chunk *>(oldTop);
        size_t psize = static_cast<size_t>(recordChunkAddress - oldTop);
        setFreeWithPrevInUse(q, psize, chunkAt(q, psize));
        insertChunk(m, q, psize);
    }
}

bool growthAllowed(MSpaceRecord *m, size_t request) {
    if (m->footprintLimit != 0 && (request > m->footprintLimit || m->footprint > m->footprintLimit - request)) {
        m->flags |= limitReachedFlag;
        return false;
    }
    return true;
}

void *growAndAllocate(MSpaceRecord *m, size_t nb) {
    size_t unit = granularity();
    if (nb > maxRequest || nb + topFootSize + 1 + (unit - 1) < nb)
        return nullptr;
    size_t size = (nb + topFootSize + 1 + (unit - 1)) & ~(unit - 1);
    if (!growthAllowed(m, size))
        return nullptr;
    size_t got = size;
    void *memory = m->allocate(m->argument, &got);
    if (memory == nullptr || memory == reinterpret_cast<void *>(~uintptr_t{0}))
        return nullptr;
    m->bytesObtained += got;
    if (got < size) { // a callback that gives less than asked is not to be trusted with it
        if (m->release(m->argument, memory, got) == 0)
            m->bytesObtained -= got;
        return nullptr;
    }
    char *base = static_cast<char *>(memory);
    m->footprint += got;
    if (m->footprint > m->maxFootprint)
        m->maxFootprint = m->footprint;
    m->segmentBytes += got;

    Segment *sp = &m->segment;
    while (sp != nullptr && base != sp->base + sp->size)
        sp = sp->next;
    if (sp != nullptr && segmentHolds(sp, m->top)) {
        sp->size += got; // right after the top's segment: the top grows
        initialiseTop(m, m->top, m->topSize + got);
    } else {
        if (base < m->leastAddress)
            m->leastAddress = base;
        sp = &m->segment;
        while (sp != nullptr && sp->base != base + got)
            sp = sp->next;
        if (sp != nullptr) {
            char *oldBase = sp->base;
            sp->base = base;
            sp->size += got;
            return prependAllocation(m, base, oldBase, nb);
        }
        ++m->segmentCount;
        addSegment(m, base, got);
    }

    if (nb < m->topSize) {
        size_t rest = m->topSize -= nb;
        Chunk *p = m->top;
        Chunk *r = m->top = chunkAt(p, nb);
        r->head = rest | prevInUse;
        setInUseHead(p, nb);
        return chunkToMem(p);
    }
    return nullptr;
}

void *growLocked(MSpaceRecord *m, size_t nb) {
    bool takeLock = (m->allocatorFlags & useLockFlag) == 0;
    if (takeLock)
        EnterCriticalSection(&m->lock);
    void *mem = growAndAllocate(m, nb);
    if (takeLock)
        LeaveCriticalSection(&m->lock);
    return mem;
}

bool holdsSegmentRecord(MSpaceRecord *m, Segment *segment) {
    for (Segment *sp = &m->segment; sp != nullptr; sp = sp->next)
        if (segmentHolds(segment, sp))
            return true;
    return false;
}

// Gives back whole segments that hold nothing but one free chunk.
size_t releaseUnusedSegments(MSpaceRecord *m) {
    size_t released = 0;
    Segment *pred = &m->segment;
    Segment *sp = pred->next;
    while (sp != nullptr) {
        char *base = sp->base;
        size_t size = sp->size;
        Segment *next = sp->next;
        Chunk *p = alignAsChunk(base);
        size_t psize = chunkSize(p);
        if (!isInUse(p) && p != m->top && reinterpret_cast<char *>(p) + psize >= base + size - topFootSize) {
            if (p == m->dv) {
                m->dv = nullptr;
                m->dvSize = 0;
            } else
                unlinkLarge(m, reinterpret_cast<TreeChunk *>(p));
            if (m->release(m->argument, base, size) == 0) {
                released += size;
                m->footprint -= size;
                m->bytesObtained -= size;
                m->segmentBytes -= size;
                --m->segmentCount;
                pred->next = next; // sp's record lay in the memory just returned
                sp = next;
                continue;
            }
            insertLarge(m, reinterpret_cast<TreeChunk *>(p), psize);
        }
        pred = sp;
        sp = next;
    }
    return released;
}

void trim(MSpaceRecord *m) {
    size_t released = 0;
    size_t pad = topFootSize;
    if (m->topSize > pad) {
        size_t unit = granularity();
        size_t extra = ((m->topSize - pad + (unit - 1)) / unit - 1) * unit;
        Segment *sp = segmentHolding(m, m->top);
        if (extra != 0 && sp != nullptr && sp->size >= extra && !holdsSegmentRecord(m, sp)) {
            size_t newSize = sp->size - extra;
            if (m->release(m->argument, sp->base + newSize, extra) == 0)
                released = extra;
        }
        if (released != 0) {
            sp->size -= released;
            m->footprint -= released;
            m->bytesObtained -= released;
            m->segmentBytes -= released;
            initialiseTop(m, m->top, m->topSize - released);
        }
    }
    released += releaseUnusedSegments(m);
    if (released == 0)
        m->trimCheck = ~size_t{0}; // don't try again until the top is set anew
}

// Frees a chunk with no questions asked about counters or the caller.
void releaseChunk(MSpaceRecord *m, Chunk *p) {
    // A stale header left inside a merged free chunk must not pass for a live block.
    p->head &= ~(thisInUse | carriesSite);
    size_t psize = chunkSize(p);
    Chunk *next = chunkAt(p, psize);
    if (!isPrevInUse(p)) {
        size_t prevSize = p->prevFoot;
        Chunk *prev = reinterpret_cast<Chunk *>(reinterpret_cast<char *>(p) - prevSize);
        if (!okAddress(m, prev))
            corrupted(m, prev);
        psize += prevSize;
        p = prev;
        if (p != m->dv)
            unlinkChunk(m, p, prevSize);
        else if ((next->head & inUseBits) == inUseBits) {
            m->dvSize = psize;
            setFreeWithPrevInUse(p, psize, next);
            return;
        }
    }
    if (!isInUse(next)) {
        if (next == m->top) {
            size_t tsize = m->topSize += psize;
            m->top = p;
            p->head = tsize | prevInUse;
            if (p == m->dv) {
                m->dv = nullptr;
                m->dvSize = 0;
            }
            if (tsize > m->trimCheck)
                trim(m);
            return;
        }
        if (next == m->dv) {
            size_t dsize = m->dvSize += psize;
            m->dv = p;
            setFreeChunk(p, dsize);
            return;
        }
        size_t nsize = chunkSize(next);
        psize += nsize;
        unlinkChunk(m, next, nsize);
        setFreeChunk(p, psize);
        if (p == m->dv) {
            m->dvSize = psize;
            return;
        }
    } else
        setFreeWithPrevInUse(p, psize, next);
    insertChunk(m, p, psize);
}

bool isLiveChunk(MSpaceRecord *m, const Chunk *p) {
    if (!okAddress(m, p) || !isInUse(p) || (reinterpret_cast<uintptr_t>(chunkToMem(p)) & alignMask) != 0)
        return false;
    size_t size = chunkSize(p);
    if (size < minChunkSize)
        return false;
    const Chunk *next = chunkAt(p, size);
    return next > p && isPrevInUse(next);
}

} // namespace

Segment *segmentHolding(MSpaceRecord *m, const void *address) {
    for (Segment *sp = &m->segment; sp != nullptr; sp = sp->next)
        if (segmentHolds(sp, address))
            return sp;
    return nullptr;
}

void initialiseState(MSpaceRecord *m, char *base, size_t size) {
    // The record lives in an in-use chunk at the start of the first segment.
    Chunk *recordChunk = memToChunk(m);
    size_t recordSize = padRequest(sizeof(MSpaceRecord));
    recordChunk->head = recordSize | inUseBits;
    m->segment.base = m->leastAddress = base;
    m->segment.size = m->footprint = m->maxFootprint = size;
    m->segment.next = nullptr;
    m->segment.flags = 0;
    m->magic = spaceMagic;
    initialiseBins(m);
    Chunk *first = nextChunk(recordChunk);
    initialiseTop(m, first, static_cast<size_t>((base + size) - reinterpret_cast<char *>(first)) - topFootSize);
}

void *allocate(MSpaceRecord *m, size_t bytes) {
    size_t nb;
    if (bytes <= maxSmallRequest) {
        nb = requestToSize(bytes);
        unsigned index = smallIndex(nb);
        unsigned smallBits = m->smallMap >> index;
        if ((smallBits & 3u) != 0) { // an exact fit, or one bin up
            index += ~smallBits & 1u;
            Chunk *bin = smallBin(m, index);
            Chunk *p = bin->fd;
            unlinkFirstSmall(m, bin, p, index);
            setInUseAndPrev(p, smallIndexSize(index));
            return chunkToMem(p);
        }
        if (nb > m->dvSize) {
            if (smallBits != 0) { // the next non-empty small bin, split
                unsigned larger = (smallBits << index) & bitsAbove(bitFor(index));
                unsigned i = bitIndex(lowestBit(larger));
                Chunk *bin = smallBin(m, i);
                Chunk *p = bin->fd;
                unlinkFirstSmall(m, bin, p, i);
                size_t rest = smallIndexSize(i) - nb;
                if (rest < minChunkSize)
                    setInUseAndPrev(p, smallIndexSize(i));
                else {
                    setInUseHead(p, nb);
                    Chunk *r = chunkAt(p, nb);
                    setFreeChunk(r, rest);
                    replaceVictim(m, r, rest);
                }
                return chunkToMem(p);
            }
            if (m->treeMap != 0)
                return allocateSmallFromTree(m, nb);
        }
    } else if (bytes >= maxRequest)
        return nullptr;
    else {
        nb = padRequest(bytes);
        if (m->treeMap != 0)
            if (void *mem = allocateLargeFromTree(m, nb))
                return mem;
    }

    if (nb <= m->dvSize) {
        size_t rest = m->dvSize - nb;
        Chunk *p = m->dv;
        if (rest >= minChunkSize) {
            Chunk *r = m->dv = chunkAt(p, nb);
            m->dvSize = rest;
            setFreeChunk(r, rest);
            setInUseHead(p, nb);
        } else {
            size_t whole = m->dvSize;
            m->dvSize = 0;
            m->dv = nullptr;
            setInUseAndPrev(p, whole);
        }
        return chunkToMem(p);
    }
    if (nb < m->topSize) {
        size_t rest = m->topSize -= nb;
        Chunk *p = m->top;
        Chunk *r = m->top = chunkAt(p, nb);
        r->head = rest | prevInUse;
        setInUseHead(p, nb);
        return chunkToMem(p);
    }
    return growLocked(m, nb);
}

bool ownsBlock(MSpaceRecord *m, const void *mem) {
    if (mem == nullptr || (reinterpret_cast<uintptr_t>(mem) & alignMask) != 0 || segmentHolding(m, mem) == nullptr)
        return false;
    return isLiveChunk(m, memToChunk(mem));
}

void release(MSpaceRecord *m, void *mem) { releaseChunk(m, memToChunk(mem)); }

void *reallocate(MSpaceRecord *m, void *mem, size_t bytes) {
    if (bytes >= maxRequest)
        return nullptr;
    Chunk *old = memToChunk(mem);
    size_t oldSize = chunkSize(old);
    Chunk *next = chunkAt(old, oldSize);
    size_t nb = requestToSize(bytes);
    if (oldSize >= nb) { // shrink in place, freeing a remainder worth a chunk
        size_t rest = oldSize - nb;
        setInUse(old, oldSize);
        if (rest >= minChunkSize) {
            Chunk *r = chunkAt(old, nb);
            setInUse(old, nb);
            setInUse(r, rest);
            releaseChunk(m, r);
        }
        return mem;
    }
    if (next == m->top && oldSize + m->topSize > nb) { // grow into the top
        size_t newTopSize = oldSize + m->topSize - nb;
        Chunk *newTop = chunkAt(old, nb);
        setInUse(old, nb);
        newTop->head = newTopSize | prevInUse;
        m->top = newTop;
        m->topSize = newTopSize;
        return mem;
    }
    void *moved = allocate(m, bytes);
    if (moved == nullptr)
        return nullptr;
    size_t keep = oldSize - chunkOverhead;
    memcpy(moved, mem, keep < bytes ? keep : bytes);
    releaseChunk(m, old);
    return moved;
}

void *allocateAligned(MSpaceRecord *m, size_t wanted, size_t bytes) {
    if (wanted <= alignment)
        return allocate(m, bytes);
    if (wanted < minChunkSize)
        wanted = minChunkSize;
    if ((wanted & (wanted - 1)) != 0) {
        size_t power = minChunkSize << 1;
        while (power != 0 && power < wanted)
            power <<= 1;
        if (power == 0)
            return nullptr;
        wanted = power;
    }
    if (bytes >= maxRequest - wanted)
        return nullptr;
    size_t nb = requestToSize(bytes);
    size_t request = nb + wanted + minChunkSize - chunkOverhead;
    char *mem = static_cast<char *>(allocate(m, request));
    if (mem == nullptr)
        return nullptr;
    Chunk *p = memToChunk(mem);
    Chunk *leader = nullptr;
    Chunk *trailer = nullptr;
    if ((reinterpret_cast<uintptr_t>(mem) % wanted) != 0) {
        // The first aligned place that leaves a whole chunk before it.
        char *aligned = reinterpret_cast<char *>(
            memToChunk(reinterpret_cast<void *>((reinterpret_cast<uintptr_t>(mem) + wanted - 1) & ~(wanted - 1))));
        char *position = static_cast<size_t>(aligned - reinterpret_cast<char *>(p)) >= minChunkSize
                             ? aligned
                             : aligned + wanted;
        Chunk *newP = reinterpret_cast<Chunk *>(position);
        size_t leadSize = static_cast<size_t>(position - reinterpret_cast<char *>(p));
        size_t newSize = chunkSize(p) - leadSize;
        setInUse(newP, newSize);
        setInUse(p, leadSize);
        leader = p;
        p = newP;
    }
    size_t size = chunkSize(p);
    if (size > nb + minChunkSize) {
        Chunk *r = chunkAt(p, nb);
        setInUse(p, nb);
        setInUse(r, size - nb);
        trailer = r;
    }
    if (leader != nullptr)
        releaseChunk(m, leader);
    if (trailer != nullptr)
        releaseChunk(m, trailer);
    return chunkToMem(p);
}

void summarise(MSpaceRecord *m, MsMallinfo *out) {
    memset(out, 0, sizeof *out);
    size_t freeChunks = 1;
    size_t freeBytes = m->topSize + topFootSize;
    size_t sum = freeBytes;
    for (Segment *sp = &m->segment; sp != nullptr; sp = sp->next) {
        Chunk *q = alignAsChunk(sp->base);
        while (segmentHolds(sp, q) && q != m->top && q->head != fenceHead) {
            size_t size = chunkSize(q);
            sum += size;
            if (!isInUse(q)) {
                freeBytes += size;
                ++freeChunks;
            }
            q = chunkAt(q, size);
        }
    }
    out->arena = sum;
    out->ordblks = freeChunks;
    out->hblkhd = m->footprint - sum;
    out->usmblks = m->maxFootprint;
    out->uordblks = m->footprint - freeBytes;
    out->fordblks = freeBytes;
    out->keepcost = m->topSize;
}

} // namespace mspace
