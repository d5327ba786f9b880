// Event settings files: JSON whose nested member names spell a URI path, matched with globs
// against the producer's URI and its events' paths, giving events their enabled and stack-trace
// bytes, thresholds and periods. Read only during start-up, on one thread.
#include <string.h>

#include "agent_state.h"
#include "osal/fio.h"
#include "osal/sharedlib.h"
#include "sarnik/bounded_print.h"
#include "sarnik/glob.h"
#include "sarnik/json_reader.h"
#include "sarnik/value_parse.h"

namespace {

constexpr size_t pathSize = 1024;
constexpr int maxDepth = 10;
constexpr int64_t defaultThresholdNanos = 20000000;

enum Key { KEY_NONE, KEY_ENABLE, KEY_STACKTRACE, KEY_THRESHOLD, KEY_PERIOD };

struct Values {
    bool enable, stacktrace;
    int64_t threshold, period;
};

struct Reader {
    char path[pathSize]; // names of the open objects, no separator; room kept for a terminator
    size_t ends[maxDepth + 1];
    int depth;
    Key key;
    // A member whose value has not come: the reader passes over fraction numbers without a word.
    bool awaitingValue;
    // Each open object's own values: an object starts from the defaults, whatever its parent was given.
    Values values[maxDepth + 1];
    const QrnProducer *producer;
    QrnEventSetting *settings;
};

constinit Reader reader = {};
// Room for any counted text of the producer record (16-bit lengths) and its terminator.
constinit char eventText[0x10000] = {};
constinit char uriText[0x10000] = {};
constinit int layoutFlag = -1; // unknown until the first load

const char *terminated(char *buffer, const QrnText &text) {
    if (text.length > 0)
        memcpy(buffer, text.bytes, text.length);
    buffer[text.length] = '\0';
    return buffer;
}

bool equalsNoCase(const JsonString *name, const char *word) {
    size_t length = strlen(word);
    if (name->length != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name->text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

Key keyOf(const JsonString *name) {
    if (equalsNoCase(name, "enable"))
        return KEY_ENABLE;
    if (equalsNoCase(name, "stacktrace"))
        return KEY_STACKTRACE;
    if (equalsNoCase(name, "threshold"))
        return KEY_THRESHOLD;
    if (equalsNoCase(name, "period"))
        return KEY_PERIOD;
    return KEY_NONE;
}

Values &values() { return reader.values[reader.depth]; }

void resetValues() {
    reader.key = KEY_NONE;
    values() = Values{};
}

void giveValues(uint32_t index) {
    const QrnEventDescriptor &event = reader.producer->events[index];
    QrnEventSetting &setting = reader.settings[index];
    const Values &v = values();
    setting.enabled = v.enable ? 1 : 0;
    setting.stacktrace = v.stacktrace ? 1 : 0;
    if ((event.flags[QRN_EVENT_HAS_THRESHOLD] & 0xff) != 0)
        setting.threshold = qrnNanosToTicks(v.threshold != 0 ? v.threshold : defaultThresholdNanos);
    if ((event.flags[QRN_EVENT_REQUESTABLE] & 0xff) != 0) {
        if (v.period != 0) {
            int64_t millis = v.period / 1000000;
            qrnSetEventPeriod(jint(event.id), millis < 1 ? 1 : millis);
        }
        if (v.period == 0 || !v.enable)
            qrnSetEventPeriod(jint(event.id), 0);
    }
}

// At the end of an object whose last member was a setting; the path is the member names of the
// objects around it.
void apply() {
    const QrnProducer *producer = reader.producer;
    size_t length = reader.ends[reader.depth - 1];
    char *path = reader.path;
    path[length] = '\0';
    const QrnText &uri = producer->uri;
    if (length >= uri.length && (uri.length == 0 || memcmp(path, uri.bytes, uri.length) == 0)) {
        const char *rest = path + uri.length;
        for (uint32_t i = 0; i < producer->eventCount; ++i)
            if (globMatch(rest, terminated(eventText, producer->events[i].path)))
                giveValues(i);
    } else if (globMatch(path, terminated(uriText, uri))) {
        for (uint32_t i = 0; i < producer->eventCount; ++i)
            giveValues(i);
    } else if (path[0] == '*') {
        char full[pathSize];
        for (uint32_t i = 0; i < producer->eventCount; ++i) {
            const QrnText &eventPath = producer->events[i].path;
            if (size_t(uri.length) + eventPath.length >= sizeof full)
                jsonAbort("Too long URI path: %s", terminated(eventText, eventPath));
            memcpy(full, uri.bytes, uri.length);
            memcpy(full + uri.length, eventPath.bytes, eventPath.length);
            full[uri.length + eventPath.length] = '\0';
            if (globMatch(path, full))
                giveValues(i);
        }
    }
    resetValues();
}

void memberName(const JsonString *name) {
    Key key = keyOf(name);
    reader.key = key;
    size_t at = reader.ends[reader.depth - 1];
    if (key != KEY_NONE) {
        // A setting's name is no part of the path of an object it might hold.
        reader.ends[reader.depth] = at;
        return;
    }
    if (name->length >= pathSize - at)
        jsonAbort("URI buffer overflow");
    memcpy(reader.path + at, name->text, name->length);
    reader.ends[reader.depth] = at + name->length;
}

void booleanValue(bool value) {
    if (reader.key == KEY_ENABLE)
        values().enable = value;
    else if (reader.key == KEY_STACKTRACE)
        values().stacktrace = value;
    else
        jsonAbort("Syntax error");
}

void integerValue(int64_t value) {
    switch (reader.key) {
    case KEY_ENABLE:
    case KEY_STACKTRACE:
        booleanValue(value == 1);
        break;
    case KEY_THRESHOLD:
        values().threshold = value;
        break;
    case KEY_PERIOD:
        values().period = value;
        break;
    default:
        jsonAbort("Syntax error");
    }
}

void stringValue(const JsonString *text) {
    if (reader.key != KEY_THRESHOLD && reader.key != KEY_PERIOD)
        jsonAbort("Syntax error");
    const char *error = nullptr;
    int64_t nanos = 0;
    if (!strToSuffixNanoTime(text->text, &nanos, &error)) {
        if (reader.key == KEY_THRESHOLD)
            jsonAbort("Could not parse threshold: %s", error != nullptr ? error : "");
        jsonAbort("Could not parse period: %s", error != nullptr ? error : "");
    }
    if (reader.key == KEY_THRESHOLD)
        values().threshold = nanos;
    else
        values().period = nanos;
}

// Ends the parse only through jsonAbort, which unwinds past this frame: nothing here has a
// destructor.
void element(JsonElementType type, const void *value, void *) {
    if (type == JSON_MEMBER_NAME || type == JSON_OBJECT_END) {
        if (reader.awaitingValue)
            jsonAbort("Unexpected element");
    }
    reader.awaitingValue = type == JSON_MEMBER_NAME;
    switch (type) {
    case JSON_OBJECT_START:
        if (reader.depth == maxDepth)
            jsonAbort("Too deep object hierarchy");
        reader.depth += 1;
        reader.ends[reader.depth] = reader.ends[reader.depth - 1];
        resetValues();
        break;
    case JSON_OBJECT_END:
        if (reader.depth == 0)
            jsonAbort("Mismatched object end");
        if (reader.key != KEY_NONE)
            apply();
        reader.depth -= 1;
        break;
    case JSON_MEMBER_NAME:
        memberName(static_cast<const JsonString *>(value));
        break;
    case JSON_INTEGER:
        integerValue(*static_cast<const int64_t *>(value));
        break;
    case JSON_TRUE:
    case JSON_FALSE:
        if (reader.key == KEY_THRESHOLD || reader.key == KEY_PERIOD)
            jsonAbort("Syntax error");
        booleanValue(type == JSON_TRUE);
        break;
    case JSON_STRING:
        stringValue(static_cast<const JsonString *>(value));
        break;
    default:
        jsonAbort("Unexpected element");
    }
}

bool readFile(const char *path) {
    // A file that failed part-way leaves nothing behind for the next one.
    reader.depth = 0;
    reader.ends[0] = 0;
    reader.awaitingValue = false;
    resetValues();
    char error[64];
    if (jsonParseFile(path, element, nullptr, error, sizeof error) != 0) {
        qrnLog(QRN_ERROR, "Could not read settings file \"%s\": %s", path, error);
        return false;
    }
    qrnLog(QRN_INFO, "Loaded %s", path);
    return true;
}

// The directory followed by the name, then by the name and ".qrc"; only files with content.
bool readBeside(char *buffer, size_t directoryLength, const char *folder, const char *name) {
    char *rest = buffer + directoryLength;
    size_t room = QRN_PATH_SIZE - directoryLength;
    if (vantrel_util_snprintf(rest, room, "%s%s", folder, name) < 0) {
        qrnLog(QRN_WARN, "Path too long: %s", name);
        return false;
    }
    if (fio_fsize(buffer) > 0)
        return readFile(buffer);
    if (vantrel_util_snprintf(rest, room, "%s%s.qrc", folder, name) < 0) {
        qrnLog(QRN_WARN, "Path too long: %s", name);
        return false;
    }
    return fio_fsize(buffer) > 0 && readFile(buffer);
}

} // namespace

int64_t qrnNanosToTicks(int64_t nanos) {
    double ticks = double(nanos) / qrnState.nanosPerTick;
    // Beyond the range of 64 bits the conversion would be undefined: the nearest end it is.
    if (ticks >= 9223372036854775807.0)
        return INT64_MAX;
    if (ticks <= -9223372036854775808.0)
        return INT64_MIN;
    return int64_t(ticks);
}

int loadSettingsFile(const char *name, const QrnProducer *producer, QrnEventSetting *settings) {
    char buffer[QRN_PATH_SIZE];
    if (sharedLibGetDLLPath(buffer, sizeof buffer, reinterpret_cast<const void *>(&loadSettingsFile)) != 0) {
        qrnLog(QRN_WARN, "Could not locate myself. Cannot load %s.", name);
        return 0;
    }
    char *slash = strrchr(buffer, '\\');
    if (slash == nullptr) {
        qrnLog(QRN_WARN, "Could not locate myself. Cannot load %s.", name);
        return 0;
    }
    size_t directoryLength = size_t(slash + 1 - buffer);
    buffer[directoryLength] = '\0';
    if (layoutFlag < 0) {
        if (vantrel_util_snprintf(buffer + directoryLength, sizeof buffer - directoryLength, "%s",
                                  "../lib/rt.jar") < 0) {
            qrnLog(QRN_WARN, "Path too long: %s", "../lib/rt.jar");
            return 0;
        }
        layoutFlag = fio_fsize(buffer) > 0 ? 1 : 0;
    }
    reader.producer = producer;
    reader.settings = settings;
    if (layoutFlag == 0 && readBeside(buffer, directoryLength, "", name))
        return 1;
    if (readBeside(buffer, directoryLength, "../lib/qrn/", name))
        return 1;
    return readFile(name) ? 1 : 0;
}
