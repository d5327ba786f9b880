// Producer descriptors: the VM's producer record serialised big-endian, and the blobs Java adds.
#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"

namespace {

struct DescriptorNode {
    DescriptorNode *next;
    uint32_t producerId;
    uint32_t eventOffset;
    uint32_t size;
    unsigned char *bytes() { return reinterpret_cast<unsigned char *>(this + 1); }
};
static_assert(sizeof(DescriptorNode) == 16, "the node head is 16 bytes");

constinit DescriptorNode *descriptors = nullptr;
constinit uint32_t descriptorCount = 0;
constinit uint32_t descriptorTotal = 0;

// Writes pieces only while they fit in the computed size.
class BlobWriter {
public:
    BlobWriter(unsigned char *out, uint32_t size) : out_(out), size_(size) {}
    void u8(uint32_t value) {
        if (room(1))
            out_[pos_++] = static_cast<unsigned char>(value);
    }
    void u16(uint32_t value) {
        u8(value >> 8);
        u8(value);
    }
    void u32(uint32_t value) {
        u16(value >> 16);
        u16(value);
    }
    void text(const QrnText &text) {
        u16(text.length);
        if (room(text.length) && text.length > 0) {
            memcpy(out_ + pos_, text.bytes, text.length);
            pos_ += text.length;
        }
    }
    uint32_t position() const { return pos_; }

private:
    bool room(uint32_t length) const { return length <= size_ - pos_; }
    unsigned char *out_;
    uint32_t size_;
    uint32_t pos_ = 0;
};

uint64_t blobSize(const QrnProducer *p) {
    uint64_t size = 18 + uint64_t(p->name.length) + p->description.length + p->uri.length;
    for (uint32_t i = 0; i < p->stringCount; ++i)
        size += 2 + p->strings[i].length;
    size += 4ull * p->groupCount;
    for (uint32_t g = 0; g < p->groupCount; ++g)
        for (uint32_t e = 0; e < p->groups[g].entryCount; ++e) {
            const QrnGroupEntry &entry = p->groups[g].entries[e];
            size += 20 + uint64_t(entry.texts[0].length) + entry.texts[1].length + entry.texts[2].length;
        }
    size += 8;
    for (uint32_t i = 0; i < p->eventCount; ++i) {
        const QrnEventDescriptor &event = p->events[i];
        size += 22 + uint64_t(event.name.length) + event.description.length + event.path.length;
    }
    for (uint32_t i = 0; i < p->furtherCount; ++i)
        size += 13 + uint64_t(p->further[i].texts[0].length) + p->further[i].texts[1].length;
    return size;
}

void push(DescriptorNode *node) {
    node->next = descriptors;
    descriptors = node;
    descriptorTotal += node->size;
    descriptorCount += 1;
}

} // namespace

int qrnSerialiseProducer(const QrnProducer *p) {
    uint64_t size = blobSize(p);
    if (size > 0x7fffffffu - sizeof(DescriptorNode))
        return 0;
    auto *node = static_cast<DescriptorNode *>(gsMalloc(sizeof(DescriptorNode) + size_t(size)));
    if (node == nullptr)
        return 0;
    BlobWriter w(node->bytes(), uint32_t(size));
    w.u32(p->id);
    w.text(p->name);
    w.text(p->description);
    w.text(p->uri);
    w.u32(p->stringCount);
    for (uint32_t i = 0; i < p->stringCount; ++i)
        w.text(p->strings[i]);
    w.u32(p->groupCount);
    for (uint32_t g = 0; g < p->groupCount; ++g) {
        w.u32(p->groups[g].entryCount);
        for (uint32_t e = 0; e < p->groups[g].entryCount; ++e) {
            const QrnGroupEntry &entry = p->groups[g].entries[e];
            for (const QrnText &text : entry.texts)
                w.text(text);
            w.u8(entry.flags[0]);
            w.u8(entry.flags[1]);
            w.u32(entry.values[0]);
            w.u32(entry.values[1]);
            w.u32(0);
        }
    }
    uint32_t eventOffset = w.position();
    w.u32(p->eventCount);
    for (uint32_t i = 0; i < p->eventCount; ++i) {
        const QrnEventDescriptor &event = p->events[i];
        w.u32(event.id);
        w.text(event.name);
        w.text(event.description);
        w.text(event.path);
        for (unsigned flag : event.flags)
            w.u8(flag);
        w.u32(event.value);
        w.u32(0);
    }
    w.u32(p->furtherCount);
    for (uint32_t i = 0; i < p->furtherCount; ++i) {
        const QrnFurtherEntry &entry = p->further[i];
        w.u32(entry.id);
        w.text(entry.texts[0]);
        w.text(entry.texts[1]);
        w.u8(entry.flag);
        w.u32(entry.value);
    }
    node->producerId = p->id;
    node->eventOffset = eventOffset;
    node->size = uint32_t(size);
    push(node);
    return 1;
}

int qrnAddDescriptor(uint32_t producerId, const unsigned char *bytes, uint32_t size) {
    if (size > 0x7fffffffu - sizeof(DescriptorNode))
        return 0;
    auto *node = static_cast<DescriptorNode *>(gsMalloc(sizeof(DescriptorNode) + size));
    if (node == nullptr)
        return 0;
    if (size > 0)
        memcpy(node->bytes(), bytes, size);
    node->producerId = producerId;
    node->eventOffset = 0;
    node->size = size;
    qrnRemoveDescriptor(producerId);
    push(node);
    return 1;
}

void qrnRemoveDescriptor(uint32_t producerId) {
    for (DescriptorNode **link = &descriptors; *link != nullptr; link = &(*link)->next) {
        DescriptorNode *node = *link;
        if (node->producerId == producerId) {
            *link = node->next;
            descriptorTotal -= node->size;
            descriptorCount -= 1;
            gsFree(node);
            return;
        }
    }
}

int qrnFindDescriptor(uint32_t producerId, const unsigned char **bytes, uint32_t *size, uint32_t *eventOffset) {
    for (DescriptorNode *node = descriptors; node != nullptr; node = node->next)
        if (node->producerId == producerId) {
            *bytes = node->bytes();
            *size = node->size;
            *eventOffset = node->eventOffset;
            return 1;
        }
    return 0;
}

uint32_t qrnDescriptorCount(void) { return descriptorCount; }
uint32_t qrnDescriptorTotal(void) { return descriptorTotal; }

void qrnWriteDescriptors(StreamWriter *stream) {
    qrnPutU32(stream, descriptorCount);
    for (DescriptorNode *node = descriptors; node != nullptr; node = node->next)
        qrnPutBytes(stream, node->bytes(), node->size);
}
