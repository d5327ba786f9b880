// Runs the JSON reader and writes what its callback saw as one line of short words, so that a test
// can state a whole document's elements at once: "{ n:a i:1 n:b s:x }".
#ifndef TESTS_UTIL_JSON_EVENTS_H
#define TESTS_UTIL_JSON_EVENTS_H

#include <gtest/gtest.h>

#include <inttypes.h>
#include <stdio.h>
#include <string.h>
#include <string>

#include "sarnik/json_reader.h"

struct JsonOutcome {
    int result = 0;
    std::string events;
    std::string error;
};

inline void recordJsonEvent(JsonElementType type, const void *value, void *user) {
    auto *events = static_cast<std::string *>(user);
    if (!events->empty())
        *events += ' ';
    switch (type) {
    case JSON_ARRAY_START: *events += '['; break;
    case JSON_ARRAY_END: *events += ']'; break;
    case JSON_OBJECT_START: *events += '{'; break;
    case JSON_OBJECT_END: *events += '}'; break;
    case JSON_NULL: *events += "null"; break;
    case JSON_TRUE: *events += "true"; break;
    case JSON_FALSE: *events += "false"; break;
    case JSON_INTEGER: {
        char text[32];
        snprintf(text, sizeof text, "i:%" PRId64, *static_cast<const int64_t *>(value));
        *events += text;
        break;
    }
    case JSON_STRING:
    case JSON_MEMBER_NAME: {
        const auto *string = static_cast<const JsonString *>(value);
        EXPECT_EQ(string->text[string->length], '\0');
        EXPECT_EQ(strlen(string->text), string->length);
        *events += type == JSON_STRING ? "s:" : "n:";
        events->append(string->text, string->length);
        break;
    }
    default: *events += "?"; break;
    }
}

inline JsonOutcome parseJson(const std::string &text, size_t errorSize = 256) {
    JsonOutcome outcome;
    std::string buffer(errorSize, 'Z');
    outcome.result = jsonParse(text.c_str(), recordJsonEvent, &outcome.events, buffer.data(), errorSize);
    outcome.error = buffer.c_str();
    return outcome;
}

#endif
