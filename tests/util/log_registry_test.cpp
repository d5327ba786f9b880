// Registered loggers: selecting modules for the setters, linked modules, aliases, resets, the
// module listing, and a logger registered twice.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>

#include "osal/fio.h"
#include "sarnik/log_api.h"
#include "test_logger.h"
#include "test_paths.h"

namespace {

int level(Logger *logger, int module) { return *logger->modules[module].level; }
int sanity(Logger *logger, int module) { return *logger->modules[module].sanity; }

std::string listing(Logger *logger, int module) {
    TempDir folder;
    const std::string path = folder.file("modules.txt");
    FioHandle file = fio_open(path.c_str(), FIO_WRITE_ONLY | FIO_CREATE_ALWAYS);
    EXPECT_NE(file, FIO_INVALID_HANDLE);
    _log_do_print_moduleinfo(logger, module, file);
    fio_close(file);
    return readTextFile(path);
}

} // namespace

TEST(LogRegistry, SettersReachTheSelectedModulesOnly) {
    Logger *first = newLogger({{"sel-a"}, {"sel-b"}});
    Logger *second = newLogger({{"sel-c"}});
    _log_add_logger(first);
    _log_add_logger(second);

    _log_set_msglevel(first, 1, LOG_TRACE);
    EXPECT_EQ(level(first, 0), LOG_WARN);
    EXPECT_EQ(level(first, 1), LOG_TRACE);
    _log_set_msglevel(first, -1, LOG_DEBUG);
    EXPECT_EQ(level(first, 0), LOG_DEBUG);
    EXPECT_EQ(level(first, 1), LOG_DEBUG);
    EXPECT_EQ(level(second, 0), LOG_WARN);

    _log_set_sanitylevel(second, 0, LOG_SANITY_CHECK);
    EXPECT_EQ(sanity(second, 0), LOG_SANITY_CHECK);
    EXPECT_EQ(sanity(first, 0), LOG_SANITY_NONE);

    _log_set_decorations(first, 0, LOG_DECO_PID | LOG_DECO_LEVEL);
    EXPECT_EQ(_log_get_decorations(first, 0), LOG_DECO_DEFAULT | LOG_DECO_PID);
    _log_clear_decorations(first, 0, LOG_DECO_LEVEL | LOG_DECO_NANOS);
    EXPECT_EQ(_log_get_decorations(first, 0), LOG_DECO_MODULE | LOG_DECO_PID);
    EXPECT_EQ(_log_get_decorations(first, 1), LOG_DECO_DEFAULT);

    // Every module of every logger.
    _log_set_msglevel(nullptr, -1, LOG_ERROR);
    _log_set_sanitylevel(nullptr, 0, LOG_SANITY_TRACE);
    for (Logger *logger : {first, second})
        for (int m = 0; m < logger->moduleCount; ++m) {
            EXPECT_EQ(level(logger, m), LOG_ERROR);
            EXPECT_EQ(sanity(logger, m), LOG_SANITY_TRACE);
        }
    logResetMsgLevels();
    logResetSanityLevels();
}

TEST(LogRegistry, ModuleIndexesOutOfRangeTouchNothing) {
    Logger *logger = newLogger({{"range"}});
    _log_add_logger(logger);
    for (int index : {1, 2, -2, 0x7fffffff, static_cast<int>(0x80000000)}) {
        _log_set_msglevel(logger, index, LOG_TRACE);
        _log_set_sanitylevel(logger, index, LOG_SANITY_TRACE);
        _log_set_decorations(logger, index, 0x7fff);
        _log_clear_decorations(logger, index, 0x7fff);
        EXPECT_EQ(_log_get_decorations(logger, index), 0) << index;
        int count = 5;
        EXPECT_EQ(_log_get_aliases(logger, index, &count), nullptr) << index;
        EXPECT_EQ(count, 0) << index;
    }
    EXPECT_EQ(level(logger, 0), LOG_WARN);
    EXPECT_EQ(sanity(logger, 0), LOG_SANITY_NONE);
    EXPECT_EQ(_log_get_decorations(logger, 0), LOG_DECO_DEFAULT);
    EXPECT_EQ(_log_get_decorations(nullptr, 0), 0);
    EXPECT_EQ(listing(logger, 1), "");
}

TEST(LogRegistry, NameAndAliasFormOneArray) {
    Logger *logger = newLogger({{"named", "aka"}, {"plain"}, {"empty", ""}});
    _log_add_logger(logger);
    int count = 0;
    const char **names = _log_get_aliases(logger, 0, &count);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(names[0], "named");
    EXPECT_STREQ(names[1], "aka");
    names = _log_get_aliases(logger, 1, &count);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(names[0], "plain");
    _log_get_aliases(logger, 2, &count);
    EXPECT_EQ(count, 1);
}

TEST(LogRegistry, ALinkedModuleFollowsTheSameNamedModuleRegisteredBefore) {
    Logger *owner = newLogger({{"link-net", "link-network"}, {"link-io"}});
    _log_add_logger(owner);
    *owner->modules[0].level = LOG_DEBUG;
    *owner->modules[0].sanity = LOG_SANITY_MINIMAL;
    Logger *follower = newLogger({{"link-net", nullptr, LOG_MODULE_LINKED}, {"link-network", nullptr, LOG_MODULE_LINKED},
                                  {"link-io"}});
    _log_add_logger(follower);

    // By name and by alias; the levels come along, and a module without the flag stays alone.
    EXPECT_EQ(follower->modules[0].linkedTarget, &owner->modules[0]);
    EXPECT_EQ(follower->modules[1].linkedTarget, &owner->modules[0]);
    EXPECT_EQ(follower->modules[2].linkedTarget, nullptr);
    EXPECT_EQ(level(follower, 0), LOG_DEBUG);
    EXPECT_EQ(sanity(follower, 1), LOG_SANITY_MINIMAL);
    EXPECT_EQ(follower->modules[0].stream, owner->modules[0].stream);
    EXPECT_EQ(follower->modules[0].owner, follower);

    // A change passes down the chain, not up it.
    _log_set_msglevel(follower, 0, LOG_TRACE);
    EXPECT_EQ(level(owner, 0), LOG_TRACE);
    _log_set_msglevel(owner, 0, LOG_INFO);
    EXPECT_EQ(level(follower, 0), LOG_TRACE);
    _log_set_decorations(follower, 1, LOG_DECO_PID);
    EXPECT_EQ(_log_get_decorations(owner, 0), LOG_DECO_DEFAULT | LOG_DECO_PID);

    // A chain of two links.
    Logger *third = newLogger({{"link-net", nullptr, LOG_MODULE_LINKED}});
    _log_add_logger(third);
    EXPECT_EQ(third->modules[0].linkedTarget, &follower->modules[0]);
    _log_set_sanitylevel(third, 0, LOG_SANITY_DEBUG);
    EXPECT_EQ(sanity(follower, 0), LOG_SANITY_DEBUG);
    EXPECT_EQ(sanity(owner, 0), LOG_SANITY_DEBUG);

    // The listing shows a linked module only through its target.
    _log_set_msglevel(owner, -1, LOG_WARN);
    EXPECT_EQ(listing(follower, -1), "\tlink-io: level=WARN, decorations=3, sanity=NONE\n");
}

TEST(LogRegistry, ListingIsSortedByNameAndShowsEveryField) {
    Logger *logger = newLogger({{"list-zeta"},
                                {"list-alpha", "list-first", 0, LOG_DECO_DEFAULT | LOG_DECO_PID, LOG_DEBUG,
                                 LOG_SANITY_CHECK},
                                {"list-mid", nullptr, 0, 0x7fff, LOG_QUIET, LOG_SANITY_TRACE}});
    _log_add_logger(logger);
    EXPECT_EQ(listing(logger, -1), "\tlist-alpha (list-first): level=DEBUG, decorations=43, sanity=CHECK\n"
                                   "\tlist-mid: level=QUIET, decorations=7fff, sanity=TRACE\n"
                                   "\tlist-zeta: level=WARN, decorations=3, sanity=NONE\n");
    EXPECT_EQ(listing(logger, 2), "\tlist-mid: level=QUIET, decorations=7fff, sanity=TRACE\n");

    // Level words are written from outside (the Java side writes them directly): a value with
    // no name shows as its number.
    *logger->modules[0].level = 9;
    *logger->modules[0].sanity = -1;
    EXPECT_EQ(listing(logger, 0), "\tlist-zeta: level=9, decorations=3, sanity=-1\n");
    *logger->modules[0].level = LOG_WARN;
    *logger->modules[0].sanity = LOG_SANITY_NONE;

    // A name so long that the line is cut to its 255 characters.
    Logger *longName = newLogger({{std::string(300, 'n').c_str()}});
    _log_add_logger(longName);
    EXPECT_EQ(listing(longName, 0), "\t" + std::string(254, 'n'));
}

TEST(LogRegistry, ListingOfEveryLoggerHoldsTheLibrariesOwnModules) {
    const std::string all = listing(nullptr, -1);
    for (const char *name : {"osal", "timing", "cpuinfo", "cpuid", "util"})
        EXPECT_NE(all.find(std::string("\t") + name + ": level="), std::string::npos) << name << "\n" << all;
    EXPECT_LT(all.find("\tcpuid:"), all.find("\tcpuinfo:"));
    EXPECT_LT(all.find("\tosal:"), all.find("\ttiming:"));
}

TEST(LogRegistry, ListingThroughACRuntimeStreamKeepsItsOrder) {
    Logger *logger = newLogger({{"stream-list"}});
    _log_add_logger(logger);
    TempDir folder;
    const std::string path = folder.file("stream.txt");
    FILE *stream = fopen(path.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    fputs("before\n", stream);
    _log_print_moduleinfo(logger, 0, stream);
    fputs("after\n", stream);
    fclose(stream);
    EXPECT_EQ(readTextFile(path), "before\n\tstream-list: level=WARN, decorations=3, sanity=NONE\nafter\n");
    _log_print_moduleinfo(logger, 0, nullptr);
}

TEST(LogRegistry, ResetsRestoreEachLoggersDefaults) {
    Logger *quiet = newLogger({{"reset-q1"}, {"reset-q2"}}, LOG_QUIET, LOG_SANITY_MINIMAL);
    Logger *loud = newLogger({{"reset-l"}}, LOG_TRACE, LOG_SANITY_TRACE);
    _log_add_logger(quiet);
    _log_add_logger(loud);
    _log_set_msglevel(nullptr, -1, LOG_INFO);
    _log_set_sanitylevel(nullptr, -1, LOG_SANITY_CHECK);
    logResetMsgLevels();
    EXPECT_EQ(level(quiet, 0), LOG_QUIET);
    EXPECT_EQ(level(quiet, 1), LOG_QUIET);
    EXPECT_EQ(level(loud, 0), LOG_TRACE);
    EXPECT_EQ(sanity(quiet, 1), LOG_SANITY_CHECK);
    logResetSanityLevels();
    EXPECT_EQ(sanity(quiet, 1), LOG_SANITY_MINIMAL);
    EXPECT_EQ(sanity(loud, 0), LOG_SANITY_TRACE);
    _log_set_msglevel(nullptr, -1, LOG_WARN);
}

TEST(LogRegistry, RegisteringTheSameLoggerTwiceKeepsTheListAChain) {
    Logger *twice = newLogger({{"twice"}});
    _log_add_logger(twice);
    Logger *after = newLogger({{"twice-after"}});
    _log_add_logger(after);
    twice->modules[0].stream = 12345;
    _log_add_logger(twice);
    _log_add_logger(twice);
    EXPECT_EQ(twice->modules[0].stream, 12345) << "a second registration changes nothing";
    EXPECT_EQ(after->next, twice);

    // Each walk of the list ends, and each module shows once.
    _log_set_msglevel(nullptr, -1, LOG_WARN);
    const std::string all = listing(nullptr, -1);
    EXPECT_EQ(all.find("\ttwice:"), all.rfind("\ttwice:"));
    EXPECT_NE(all.find("\ttwice-after:"), std::string::npos);

    _log_add_logger(nullptr);
    Logger *broken = newLogger({});
    broken->moduleCount = -4;
    _log_add_logger(broken);
    EXPECT_EQ(listing(nullptr, -1), all);
}
