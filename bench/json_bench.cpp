// Throughput of sarnik's JSON reader against RapidJSON's event reader (UTF-8 validation on, as ours
// always validates) on the same generated documents in one run; and the time of single long strings,
// which must grow in step with their length.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>

#include <rapidjson/reader.h>

#include "sarnik/json_reader.h"

#include "bench_timer.h"

namespace {

constexpr size_t documentBytes = 20000000;
constexpr int rounds = 5;
constexpr int stringRounds = 3;

using Random = std::mt19937;

unsigned pick(Random &random, unsigned count) { return static_cast<unsigned>(random() % count); }

void appendNumber(std::string &text, const char *format, double value) {
    char number[40];
    snprintf(number, sizeof number, format, value);
    text += number;
}

// A double as a program writes one: a few or many digits, sometimes with an exponent.
void appendDouble(std::string &text, Random &random) {
    double value = (static_cast<double>(random()) / 4294967296.0 - 0.5) * 2000.0;
    switch (pick(random, 4)) {
    case 0: appendNumber(text, "%.3f", value); break;
    case 1: appendNumber(text, "%.17g", value); break;
    case 2: appendNumber(text, "%.6e", value / 1e9); break;
    default: appendNumber(text, "%.9g", value * 1e-4); break;
    }
}

void appendWord(std::string &text, Random &random) {
    static const char *const words[] = {"alpha", "beta", "gamma", "delta", "stream", "value", "event",
                                        "monitor", "thread", "caf\xC3\xA9", "heap", "region"};
    text += words[pick(random, sizeof words / sizeof words[0])];
}

// Objects of names with integers, doubles, short strings and keywords.
std::string objectsDocument() {
    Random random(1);
    std::string text = "[\n";
    for (unsigned index = 0; text.size() < documentBytes; ++index) {
        text += index == 0 ? "  {" : ",\n  {";
        text += "\"id\": " + std::to_string(index) + ", \"name\": \"";
        appendWord(text, random);
        text += ' ';
        appendWord(text, random);
        text += "\", \"size\": " + std::to_string(static_cast<int>(random() % 2000000) - 1000000);
        text += ", \"weight\": ";
        appendDouble(text, random);
        text += ", \"enabled\": ";
        text += pick(random, 2) ? "true" : "false";
        text += ", \"parent\": null, \"tags\": [\"";
        appendWord(text, random);
        text += "\", \"";
        appendWord(text, random);
        text += "\"], \"threshold\": ";
        appendDouble(text, random);
        text += '}';
    }
    text += "\n]\n";
    return text;
}

// Strings of a few hundred to a few thousand characters, with escapes and characters of two and
// three bytes among plain text.
std::string stringsDocument() {
    Random random(2);
    static const char *const pieces[] = {"the quick ", "brown fox ", "jumps ", "\\n", "\\t", "\\u00e9",
                                         "\\u20AC", "\\r\\n", "\\b", "caf\xC3\xA9 ", "\xE2\x82\xAC 10",
                                         "\\u0041\\f"};
    std::string text = "[";
    while (text.size() < documentBytes) {
        text += text.size() == 1 ? "\n\"" : ",\n\"";
        unsigned pieceCount = 20 + pick(random, 200);
        for (unsigned i = 0; i < pieceCount; ++i)
            text += pieces[pick(random, sizeof pieces / sizeof pieces[0])];
        text += '"';
    }
    text += "\n]\n";
    return text;
}

// Rows of doubles.
std::string doublesDocument() {
    Random random(3);
    std::string text = "[";
    while (text.size() < documentBytes) {
        text += text.size() == 1 ? "\n[" : ",\n[";
        for (int i = 0; i < 16; ++i) {
            if (i > 0)
                text += ", ";
            appendDouble(text, random);
        }
        text += ']';
    }
    text += "\n]\n";
    return text;
}

// One string of the given size, of plain text with an escape now and then.
std::string singleString(size_t bytes) {
    std::string text = "[\"";
    text.reserve(bytes + 8);
    while (text.size() < bytes)
        text += "long string text, with an escape\\t and a caf\xC3\xA9 \\u20ac; ";
    text += "\"]";
    return text;
}

size_t ourElements;

void countOurs(JsonElementType, const void *, void *) { ++ourElements; }

bool parseOurs(const std::string &text) {
    char message[256];
    ourElements = 0;
    if (jsonParse(text.c_str(), countOurs, nullptr, message, sizeof message) == 0)
        return true;
    fprintf(stderr, "our reader failed: %s\n", message);
    return false;
}

struct CountingHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CountingHandler> {
    size_t elements = 0;
    bool Default() {
        ++elements;
        return true;
    }
};

bool parseRapid(const std::string &text) {
    CountingHandler handler;
    rapidjson::Reader reader;
    rapidjson::StringStream stream(text.c_str());
    if (reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler).IsError()) {
        fprintf(stderr, "RapidJSON failed at %u\n", static_cast<unsigned>(reader.GetErrorOffset()));
        return false;
    }
    return true;
}

double megabytesPerSecond(size_t bytes, double secondsTaken) {
    return static_cast<double>(bytes) / 1e6 / secondsTaken;
}

void compare(const char *name, const std::string &text) {
    double ours = 1e30, rapid = 1e30;
    // Alternating which side goes first spreads the machine's drift over both.
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            ours = std::min(ours, timedStep([&] { return parseOurs(text); }));
            rapid = std::min(rapid, timedStep([&] { return parseRapid(text); }));
        } else {
            rapid = std::min(rapid, timedStep([&] { return parseRapid(text); }));
            ours = std::min(ours, timedStep([&] { return parseOurs(text); }));
        }
    }
    printf("  %-8s %6.1f MB  ours %7.1f MB/s  RapidJSON %7.1f MB/s  ratio %.2f\n", name,
           static_cast<double>(text.size()) / 1e6, megabytesPerSecond(text.size(), ours),
           megabytesPerSecond(text.size(), rapid), rapid / ours);
}

} // namespace

int main() {
    printf("JSON reader throughput, best of %d; ratio = ours / RapidJSON Reader (UTF-8 validated)\n", rounds);
    compare("objects", objectsDocument());
    compare("strings", stringsDocument());
    compare("doubles", doublesDocument());
    printf("single strings, ours, best of %d; time per MB stays the same when the time is linear\n",
           stringRounds);
    for (size_t megabytes : {10, 20, 40}) {
        std::string text = singleString(megabytes * 1000000);
        double best = 1e30;
        for (int round = 0; round < stringRounds; ++round)
            best = std::min(best, timedStep([&] { return parseOurs(text); }));
        printf("  %2u MB string  %7.3f s  %6.1f ms per MB\n", static_cast<unsigned>(megabytes), best,
               best * 1000.0 / static_cast<double>(megabytes));
    }
    return 0;
}
