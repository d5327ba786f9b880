// The layer's own messages.
#ifndef CLASSLIB_CLASSLIB_STRINGS_H
#define CLASSLIB_CLASSLIB_STRINGS_H

#include "classlib/resource_strings.h"

inline constexpr TResourceString SListIndexError{L"List index out of bounds"};
inline constexpr TResourceString SSortedListError{L"Operation not allowed on sorted list"};
inline constexpr TResourceString SDuplicateString{L"String list does not allow duplicates"};
inline constexpr TResourceString SInvalidCast{L"Invalid class typecast"};
inline constexpr TResourceString SAssignError{L"Cannot assign a %s to a %s"};
inline constexpr TResourceString SAbstractClass{L"Cannot create an instance of the abstract class %s"};
inline constexpr TResourceString SReadError{L"Stream read error"};
inline constexpr TResourceString SWriteError{L"Stream write error"};
inline constexpr TResourceString SSeekError{L"Stream position before its start"};
inline constexpr TResourceString SFOpenError{L"Cannot open file \"%s\". %s"};
inline constexpr TResourceString SFCreateError{L"Cannot create file \"%s\". %s"};
inline constexpr TResourceString SInvalidInteger{L"'%s' is not a valid integer value"};
inline constexpr TResourceString SUnitCycle{L"The unit %s was reached again while it starts"};
inline constexpr TResourceString SOperationAborted{L"Operation aborted"};
inline constexpr TResourceString SOutOfMemory{L"Out of memory"};
inline constexpr TResourceString SUnknownException{L"Unknown exception"};
inline constexpr TResourceString SDuplicateClass{L"A class named %s already exists"};
inline constexpr TResourceString SOSError{L"System error %s: %s"};
inline constexpr TResourceString SUnkOSError{L"A call to an OS function failed"};

#endif
