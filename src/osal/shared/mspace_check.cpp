// A full walk of a space that checks the allocator's invariants; for tests and debugging.
// Call it while nobody else uses the space.
#include "mspace_internal.h"

namespace mspace {

namespace {

struct Walk {
    size_t freeChunks = 0;
    size_t binnedChunks = 0;
    size_t liveChunks = 0;
    size_t liveBytes = 0;
};

bool isSegmentRecord(MSpaceRecord *m, const Chunk *p) {
    for (Segment *sp = m->segment.next; sp != nullptr; sp = sp->next)
        if (memToChunk(sp) == p)
            return true;
    return false;
}

const char *checkTree(MSpaceRecord *m, TreeChunk *t, unsigned index, Walk &walk, int depth) {
    if (depth > 64)
        return "tree too deep";
    size_t size = chunkSize(reinterpret_cast<Chunk *>(t));
    if (isInUse(reinterpret_cast<Chunk *>(t)) || t->index != index || size < minLargeSize)
        return "bad tree node";
    TreeChunk *member = t;
    do {
        Chunk *c = reinterpret_cast<Chunk *>(member);
        if (chunkSize(c) != size || isInUse(c) || member->fd->bk != member || member->bk->fd != member)
            return "bad tree ring";
        if (member != t && member->parent != nullptr)
            return "ring member linked in the tree";
        ++walk.binnedChunks;
        member = member->fd;
    } while (member != t);
    for (TreeChunk *c : t->child) {
        if (c == nullptr)
            continue;
        if (c->parent != t)
            return "bad tree parent";
        if (const char *fault = checkTree(m, c, index, walk, depth + 1))
            return fault;
    }
    return nullptr;
}

const char *checkBins(MSpaceRecord *m, Walk &walk) {
    for (unsigned i = 0; i < smallBinCount; ++i) {
        Chunk *bin = reinterpret_cast<Chunk *>(reinterpret_cast<char *>(&m->smallBins[i]) - offsetof(Chunk, fd));
        bool empty = bin->fd == bin;
        if (empty != ((m->smallMap & (1u << i)) == 0))
            return "small map disagrees with its bin";
        size_t guard = 0;
        for (Chunk *p = bin->fd; p != bin; p = p->fd) {
            if (chunkSize(p) != (static_cast<size_t>(i) << 3) || isInUse(p) || p->fd->bk != p)
                return "bad small bin chunk";
            if (++guard > (size_t{1} << 26))
                return "small bin loops";
            ++walk.binnedChunks;
        }
    }
    for (unsigned i = 0; i < treeBinCount; ++i) {
        TreeChunk *root = m->treeBins[i];
        if ((root == nullptr) != ((m->treeMap & (1u << i)) == 0))
            return "tree map disagrees with its bin";
        if (root == nullptr)
            continue;
        if (root->parent != reinterpret_cast<TreeChunk *>(&m->treeBins[i]))
            return "tree root does not point at its bin";
        if (const char *fault = checkTree(m, root, i, walk, 0))
            return fault;
    }
    return nullptr;
}

const char *checkSegment(MSpaceRecord *m, Segment *sp, Walk &walk, bool &sawTop) {
    Chunk *recordChunk = memToChunk(m);
    Chunk *q = alignAsChunk(sp->base);
    bool previousFree = false;
    char *end = sp->base + sp->size;
    for (;;) {
        if (reinterpret_cast<char *>(q) + 2 * wordSize > end)
            return "chunk runs past its segment";
        if (q == m->top) {
            sawTop = true;
            if (chunkSize(q) != m->topSize || !isPrevInUse(q) || isInUse(q))
                return "bad top chunk";
            if (previousFree)
                return "free chunk before the top";
            if (chunkAt(q, m->topSize)->head != topFootSize)
                return "bad chunk past the top";
            if (reinterpret_cast<char *>(q) + m->topSize + topFootSize != end)
                return "top does not reach the segment's closing room";
            return nullptr;
        }
        if (q->head == fenceHead)
            return nullptr;
        size_t size = chunkSize(q);
        if (size < minChunkSize || (size & alignMask) != 0 || reinterpret_cast<char *>(q) + size > end)
            return "bad chunk size";
        if (isPrevInUse(q) == previousFree)
            return "previous-in-use bit disagrees";
        Chunk *next = chunkAt(q, size);
        if (isInUse(q)) {
            previousFree = false;
            if (q != recordChunk && !isSegmentRecord(m, q)) {
                ++walk.liveChunks;
                walk.liveBytes += size;
            }
        } else {
            if (previousFree)
                return "two free chunks side by side";
            if (next->prevFoot != size)
                return "free chunk's foot disagrees";
            previousFree = true;
            if (q == m->dv) {
                if (size != m->dvSize)
                    return "bad designated victim";
            } else
                ++walk.freeChunks;
        }
        q = next;
    }
}

} // namespace

const char *checkConsistency(MSpaceRecord *m) {
    if (m == nullptr)
        return nullptr;
    if (m->magic != spaceMagic)
        return "bad magic";
    Walk walk;
    bool sawTop = false;
    size_t segments = 0;
    size_t bytes = 0;
    for (Segment *sp = &m->segment; sp != nullptr; sp = sp->next) {
        if (sp != &m->segment && !segmentHolds(sp, sp))
            return "segment record outside its segment";
        if (sp->base < m->leastAddress)
            return "segment below the least address";
        ++segments;
        bytes += sp->size;
        if (const char *fault = checkSegment(m, sp, walk, sawTop))
            return fault;
        if (segments > (size_t{1} << 20))
            return "segment list loops";
    }
    if (!sawTop)
        return "top chunk not found";
    if (!segmentHolds(&m->segment, m->top))
        return "top outside the newest segment";
    if (segments != m->segmentCount || bytes != m->segmentBytes || bytes != m->footprint)
        return "segment figures disagree";
    if (m->dvSize != 0 && (m->dv == nullptr || isInUse(m->dv)))
        return "bad designated victim";
    if (const char *fault = checkBins(m, walk))
        return fault;
    if (walk.binnedChunks != walk.freeChunks)
        return "free chunks and binned chunks differ";
    if (walk.liveChunks != m->allocationCount || walk.liveBytes != m->allocatedBytes)
        return "allocation counters disagree";
    if (m->maxFootprint < m->footprint)
        return "footprint above its maximum";
    return nullptr;
}

} // namespace mspace
