// The application's exception handler, and the guard every callback runs in.
//
// Stands in for the compiler library's application-level exception handling. An exception that
// leaves a window procedure, timer or hook ends the process under this toolchain, so every such
// callback runs its work through GuardedCall (or catches and calls HandleException itself): the
// exception goes to the installed handler, or, without one, to a message box, and the program
// goes on.
#ifndef CLASSLIB_EXCEPTION_HANDLER_H
#define CLASSLIB_EXCEPTION_HANDLER_H

#include <functional>
#include <string>

#include "exceptions.h"

class TObject;

using TExceptionEvent = std::function<void(TObject *sender, const Exception &e)>;

// Installs the handler (an empty one restores the message box) and returns the one it replaces.
TExceptionEvent SetExceptionHandler(TExceptionEvent handler);

// The caption of the message box: the program file's name without its extension until set.
std::wstring ApplicationTitle();
void SetApplicationTitle(std::wstring title);

// Shows the exception's message in a message box.
void ShowException(const Exception &e);

// Call inside a catch block only: cancels any mouse capture, ignores EAbort, and hands the
// exception being handled (anything else becomes an Exception with a fitting message) to the
// handler. Never throws.
void HandleException(TObject *sender) noexcept;

// Runs work, handing any exception it raises to HandleException.
template <class F> void GuardedCall(TObject *sender, F &&work) noexcept {
    try {
        work();
    } catch (...) {
        HandleException(sender);
    }
}

#endif
