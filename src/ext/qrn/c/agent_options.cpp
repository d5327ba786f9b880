// The agent's option string: declaration, parsing, and the balancing of buffer sizes and counts.
#include <string.h>

#include "agent_state.h"
#include "osal/mspace.h"
#include "osal/vmm.h"
#include "sarnik/arguments.h"
#include "sarnik/scaledown.h"

namespace {

constexpr uint32_t minThreadBuffer = 2048;
constexpr uint32_t minGlobalBuffers = 3;
constexpr uint32_t maxGlobalBuffers = 30;
constexpr int64_t minChunkSize = 1048576;
constexpr char allowHelp[] = "Allow writing thread buffers directly to disk if buffer thread is blocked";

void warnSize(const char *format, size_t size) {
    qrnLog(QRN_WARN, format, scaledownSize(size), scaledDownSizeSuffix(size));
}

uint32_t clampCount(uint32_t n) {
    return n < minGlobalBuffers ? minGlobalBuffers : n > maxGlobalBuffers ? maxGlobalBuffers : n;
}

// A thread buffer size whose multiples below would wrap is refused rather than truncated.
bool fits(size_t value, uint32_t factor) { return value <= 0xffffffffu / factor; }

char *copyText(const char *text) {
    size_t length = strlen(text) + 1;
    char *copy = static_cast<char *>(gsMalloc(length));
    if (copy != nullptr)
        memcpy(copy, text, length);
    return copy;
}

// Each "settings" value in the order given; false at the first that cannot be loaded.
bool loadGivenSettings(ArgList *list, ArgDesc *desc) {
    int count = int((desc->flags & ARG_FLAG_COUNT_MASK) >> ARG_FLAG_COUNT_SHIFT);
    if (count == 0)
        return true;
    auto **values = static_cast<const char **>(gsMalloc(sizeof(char *) * size_t(count)));
    if (values == nullptr)
        return false;
    count = argGetValues(list, desc, values, count);
    bool loaded = true;
    for (int i = 0; i < count && loaded; ++i)
        loaded = loadSettingsFile(values[i], qrnState.producer, qrnState.eventSettings) != 0;
    gsFree(values);
    return loaded;
}

} // namespace

void qrnDeclareOptions(QrnOptions *o, ArgList *list) {
    ArgDesc *d = o->descs;
    argAddpcchar("settings", list, &d[0], &o->settings, nullptr, "Flight recorder default event settings", nullptr,
                 ARG_REPEATABLE);
    argAddpcchar("repository", list, &d[1], &o->repository, nullptr, "Flight recorder disk repository location",
                 nullptr, 0);
    argAddsize_t("threadbuffersize", list, &d[2], &o->tbs, o->tbs, "Thread buffer size", nullptr, 0);
    argAddsize_t("globalbuffers", list, &d[3], &o->total, o->total, "Total size of global buffers", nullptr, 0);
    argAddsize_t("globalbuffersize", list, &d[4], &o->gbs, o->gbs, "Global buffer size", nullptr, 0);
    argAddsize_t("numglobalbuffers", list, &d[5], &o->n, o->n, "Number of global buffers", nullptr, 0);
    argAdds8("maxchunksize", list, &d[6], &o->maxChunk, o->maxChunk, "Maximum size of a single repository disk chunk",
             nullptr, 0);
    argAddbool("defaultrecording", list, &d[7], &o->defaultRecording, 0, "Enable default recording", "default,", 0);
    argAddbool("disk", list, &d[8], &o->disk, 0, "Use disk based storage for default recording", nullptr, 0);
    argAddnanotime("maxage", list, &d[9], &o->maxAge, 0, "Set disk data max age for default recording", nullptr, 0);
    argAdds8("maxsize", list, &d[10], &o->maxSize, 0, "Set disk data max size for default recording", nullptr, 0);
    argAddbool("allow_threadbuffers_to_disk", list, &d[11], &o->toDisk, 0, allowHelp, nullptr, 0);
    argAddbool("allow_thread_to_flush_globalbuffers", list, &d[12], &o->flushGlobal, 0, allowHelp, nullptr, 0);
    argAddbool("dumponexit", list, &d[13], &o->dumpOnExit, 0, "Dump flight recording to file when the JVM terminates",
               nullptr, 0);
    argAddpcchar("dumponexitpath", list, &d[14], &o->dumpPath, nullptr,
                 "Path or filename used for dumping flight recording on JVM termination", nullptr, 0);
}

int qrnParseOptions(const char *options) {
    ArgList list = ARG_LIST_INIT;
    QrnOptions o = {};
    o.tbs = 5120;
    o.gbs = 462848;
    o.n = 22;
    o.total = 462848u * 22u;
    o.maxChunk = 12582912;
    qrnDeclareOptions(&o, &list);
    ArgDesc *descs = o.descs;
    size_t &tbs = o.tbs, &gbs = o.gbs, &n = o.n, &total = o.total;
    int64_t &maxChunk = o.maxChunk;
    int &defaultRecording = o.defaultRecording, &disk = o.disk, &toDisk = o.toDisk, &flushGlobal = o.flushGlobal,
        &dumpOnExit = o.dumpOnExit;
    const char *&dumpPath = o.dumpPath;

    if (argParse(&list, options, strlen(options), ',') != 0) {
        qrnLog(QRN_ERROR, "Syntax error: %s", options);
        argFree(&list);
        return -1;
    }
    bool totalGiven = descs[3].matched != nullptr;
    bool sizeGiven = descs[4].matched != nullptr;
    bool countGiven = descs[5].matched != nullptr;
    if (!fits(tbs, 20)) {
        qrnLog(QRN_ERROR, "Syntax error: %s", options);
        argFree(&list);
        return -1;
    }
    qrnState.optionCopy = copyText(options);
    if (qrnState.optionCopy == nullptr) {
        qrnLog(QRN_ERROR, "Could not copy args");
        argFree(&list);
        return -1;
    }

    if (tbs < minThreadBuffer) {
        warnSize("threadbuffersize less than minimum %Iu%sB, using minimum allowed...", minThreadBuffer);
        tbs = minThreadBuffer;
    }
    if (gbs < 4 * tbs) {
        warnSize("globalbuffersize less than minimum %Iu%sB, using minimum allowed...", 4 * tbs);
        gbs = 4 * tbs;
    }
    if (n < minGlobalBuffers) {
        qrnLog(QRN_WARN, "numglobalbuffers less than minimum %d, using minimum allowed...", int(minGlobalBuffers));
        n = minGlobalBuffers;
    } else if (n > maxGlobalBuffers) {
        qrnLog(QRN_WARN, "numglobalbuffers more than maximum %d, using maximum allowed...", int(maxGlobalBuffers));
        n = maxGlobalBuffers;
    }
    if (maxChunk < minChunkSize) {
        warnSize("maxchunksize less than minimum %Iu%sB, using minimum allowed...", size_t(minChunkSize));
        maxChunk = minChunkSize;
    }
    if (totalGiven && sizeGiven)
        n = clampCount(uint32_t(total / gbs));
    if (totalGiven)
        gbs = total / n;
    if (!countGiven) {
        while (gbs <= 8 * tbs && n > minGlobalBuffers) {
            gbs += gbs / n;
            n -= 1;
        }
        while (gbs >= 20 * tbs && n <= 20) {
            gbs -= gbs / n;
            n += 1;
        }
    }
    if (gbs < 4 * tbs)
        gbs = 4 * tbs;
    size_t page = vmmGetPageSize();
    if (gbs > 0xffffffffu - (page - 1)) {
        qrnLog(QRN_ERROR, "Syntax error: %s", options);
        argFree(&list);
        return -1;
    }
    gbs = (gbs + page - 1) / page * page;
    if (!countGiven) {
        // 64-bit products: n * gbs may pass 32 bits for large buffers.
        while (uint64_t(n) * gbs > total && n > minGlobalBuffers)
            n -= 1;
        while (uint64_t(n + 1) * gbs <= total && n < maxGlobalBuffers)
            n += 1;
    }

    qrnState.threadBufferSize = uint32_t(tbs);
    qrnState.globalBufferSize = uint32_t(gbs);
    qrnState.numGlobalBuffers = uint32_t(n);
    qrnState.maxChunkSize = maxChunk;
    qrnState.allowThreadBuffersToDisk = toDisk != 0;
    qrnState.allowThreadToFlushGlobalBuffers = flushGlobal != 0;
    qrnState.dumpOnExit = dumpOnExit != 0;
    if (dumpPath != nullptr && (qrnState.dumpOnExitPath = copyText(dumpPath)) == nullptr) {
        qrnLog(QRN_ERROR, "Could not copy args");
        argFree(&list);
        return -1;
    }
    qrnState.defaultRecordingWanted = disk != 0 || defaultRecording != 0;
    if (defaultRecording) {
        if (!loadSettingsFile("default.qrc", qrnState.producer, qrnState.eventSettings))
            qrnLog(QRN_WARN, "Could not locate default settings.");
        if (!loadGivenSettings(&list, &descs[0])) {
            argFree(&list);
            return -1;
        }
    }
    argFree(&list);
    return 0;
}
